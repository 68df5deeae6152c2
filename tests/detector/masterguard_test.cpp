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

namespace {

QByteArray statusFrom(quint8 address, quint16 serial, quint8 command = cmd::Status) {
    QByteArray b = hex("00 C8 09 00 20 00 75 00 00 00 4E 00");
    b[0] = char(address);
    b[4] = char(command);
    b[7] = char(serial >> 8);
    b[8] = char(serial & 0xFF);
    return withCrc(b);
}

TEST(MasterGuard, WritesOnlyAfterOneProperAnswerAndNamesWhatCameInstead) {
    const QByteArray lone = statusFrom(12, 256);
    QByteArray collided = lone; // two detectors at once: their bits meet and the check fails
    const QByteArray other = statusFrom(30, 4711);
    for (int i = 0; i < collided.size(); ++i)
        collided[i] = char(lone.at(i) & other.at(i));
    const QString collision = MasterCollisionText, silent = MasterSilentText;
    const auto named = [](const char* fault) {
        return QStringLiteral("The answer in master mode is not a proper status reply (%1): "
                              "nothing was written.")
            .arg(fault);
    };
    const struct {
        const char* name;
        QByteArray answer; // to the poll of address 0
        bool acceptBadCheck;
        QString refusal; // empty: the write is sent
    } rows[] = {
        {"alone", lone, false, {}},
        {"collision", collided, false, collision},
        {"collision, bad check bytes allowed", collided, true, collision},
        {"silence", {}, false, silent},
        {"short", lone.left(9), false, named("wrong length")},
        {"other command", statusFrom(12, 256, cmd::Bit), false,
         named("reply to another command or value")},
        {"echo", MasterModePoll() + lone, false, named("echo of the request")},
    };
    const QByteArray write = WriteAddr(12, 40);
    Transaction t{Pattern::ConfirmedWrite, write};
    t.test = [](const QByteArray&) { return true; };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualClock clock;
        ScriptedPeer peer([&](const QByteArray& request, qint64) {
            if (request == MasterModePoll() && !row.answer.isEmpty())
                return std::vector<ReplySegment>{{5000, row.answer}};
            return request == write ? std::vector<ReplySegment>{{5000, write}}
                                    : std::vector<ReplySegment>{};
        });
        LineWorker worker([&] { return std::make_unique<VirtualPort>(clock, peer); },
                          MakeReplyChecker({.acceptBadCheck = row.acceptBadCheck}), clock);
        QSignalSpy done(&worker, &LineWorker::commandDone);
        ASSERT_TRUE(worker.openPort());

        GuardedWrite guard;
        guard.start(worker, t, true);
        std::optional<GuardedWrite::Step> last;
        QString refusal;
        int seen = 0;
        ASSERT_TRUE(WaitFor([&] {
            while (seen < done.count())
                last = guard.onResult(worker, done.at(seen++).at(0).value<Exchange>(), &refusal);
            return last == GuardedWrite::Step::Refused || last == GuardedWrite::Step::Done;
        }));
        EXPECT_EQ(refusal, row.refusal);
        const std::vector<QByteArray> heard = peer.heard();
        EXPECT_EQ(heard.front(), MasterModePoll());
        EXPECT_EQ(std::count(heard.begin(), heard.end(), write), row.refusal.isEmpty() ? 1 : 0);
    }
}

} // namespace
