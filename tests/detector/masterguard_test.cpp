// The master-mode guard on a worker over the virtual line: the write goes out only after one
// proper status reply to the poll of address 0, and a refusal names what came instead.
#include "common/waitfor.h"
#include "detector/masterguard.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/scriptedpeer.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace fh;
using namespace fh::test;

TEST(MasterGuard, WritesOnlyAfterOneProperAnswerAndNamesWhatCameInstead) {
    const QByteArray lone = withCrc(hex("0C C8 09 00 20 00 75 00 0C 00 4E 00"));
    const QByteArray other = withCrc(hex("1E C8 09 00 20 00 75 00 1E 00 4E 00"));
    QByteArray collided = lone; // two detectors at once: their bits meet and the check fails
    for (int i = 0; i < collided.size(); ++i)
        collided[i] = char(lone.at(i) & other.at(i));
    const QString named = "The answer in master mode is not a proper status reply (%1): nothing "
                          "was written.";
    const struct {
        const char* name;
        QByteArray answer; // to the poll of address 0
        bool acceptBadCheck;
        QString refusal; // empty: the write is sent
    } rows[] = {
        {"alone", lone, false, {}},
        {"collision", collided, false, MasterCollisionText},
        {"collision, bad check bytes allowed", collided, true, MasterCollisionText},
        {"silence", {}, false, MasterSilentText},
        {"short", lone.left(9), false, named.arg("wrong length")},
        {"echo", MasterModePoll() + lone, false, named.arg("echo of the request")},
    };
    Transaction write{Pattern::ConfirmedWrite, WriteAddr(12, 40)};
    write.test = [](const QByteArray&) { return true; };
    for (const auto& row : rows) {
        VirtualClock clock;
        ScriptedPeer peer([&](const QByteArray& request, qint64) {
            return std::vector<ReplySegment>{{5000, request == write.frame ? request : row.answer}};
        });
        LineWorker worker([&] { return std::make_unique<VirtualPort>(clock, peer); },
                          MakeReplyChecker({.acceptBadCheck = row.acceptBadCheck}), clock);
        QSignalSpy done(&worker, &LineWorker::commandDone);
        ASSERT_TRUE(worker.openPort());
        GuardedWrite guard;
        guard.start(worker, write, true);
        auto step = GuardedWrite::Step::Waiting;
        QString refusal;
        for (int seen = 0; step == GuardedWrite::Step::Waiting; ++seen) {
            ASSERT_TRUE(WaitFor([&] { return done.count() > seen; })) << row.name;
            step = guard.onResult(worker, done.at(seen).at(0).value<Exchange>(), &refusal);
        }
        EXPECT_EQ(refusal, row.refusal) << row.name;
        const std::vector<QByteArray> heard = peer.heard();
        EXPECT_EQ(std::count(heard.begin(), heard.end(), write.frame), row.refusal.isEmpty())
            << row.name;
    }
}
