// The master-mode guard on the poll of address 0 as a worker collects it over the virtual
// line: only one proper status reply clears a write, and a refusal names what came instead.
#include "common/waitfor.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/scriptedpeer.h"
#include "operations/masterguard.h"

#include <gtest/gtest.h>
#include <QSignalSpy>

using namespace fh;
using namespace fh::test;

TEST(MasterGuard, ClearsOnlyOneProperAnswerAndNamesWhatCameInstead) {
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
        QString refusal; // empty: a write may follow
    } rows[] = {
        {"alone", lone, false, {}},
        {"collision", collided, false, MasterCollisionText},
        {"collision, bad check bytes allowed", collided, true, MasterCollisionText},
        {"silence", {}, false, MasterSilentText},
        {"short", lone.left(9), false, named.arg("wrong length")},
        {"echo", MasterModePoll() + lone, false, named.arg("echo of the request")},
    };
    for (const auto& row : rows) {
        VirtualClock clock;
        ScriptedPeer peer([&](const QByteArray&, qint64) {
            return std::vector<ReplySegment>{{5000, row.answer}};
        });
        LineWorker worker([&] { return std::make_unique<VirtualPort>(clock, peer); },
                          MakeReplyChecker({.acceptBadCheck = row.acceptBadCheck}), clock);
        QSignalSpy done(&worker, &LineWorker::commandDone);
        ASSERT_TRUE(worker.openPort());
        worker.submit(Transaction{Pattern::Poll, MasterModePoll()});
        ASSERT_TRUE(WaitFor([&] { return done.count() == 1; })) << row.name;
        const Exchange poll = done.at(0).at(0).value<Exchange>();
        EXPECT_EQ(MasterModeClearance(poll) == MasterClearance::Clear, row.refusal.isEmpty())
            << row.name;
        EXPECT_EQ(MasterRefusalText(poll), row.refusal) << row.name;
    }
}
