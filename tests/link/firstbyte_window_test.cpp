// The first-byte window a transaction may shorten (flamehost-cli --timeout): honoured by the
// exchange that asks for it, and never left behind for the next one.
#include "detector/replycheck.h"
#include "link/link.h"
#include "link/virtualport.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

namespace {

const QByteArray SetupReply = hex("01 03 02 00 07 F9 86");

// The setup reply arrives `afterUs` after the line is released.
struct Line {
    VirtualClock clock;
    ScriptedPeer peer;
    VirtualPort port{clock, peer};
    Link link{port, clock, MakeReplyChecker()};
    explicit Line(qint64 afterUs) {
        peer.setScript([afterUs](const QByteArray&, qint64 end) {
            return arrivingAt(end, end + afterUs, SetupReply);
        });
        port.open();
        link.TurnaroundDelay = 0;
    }
    bool collected(int firstByteMs) {
        Transaction t(Pattern::ButtonRead, ReadSetup1);
        t.firstByteMs = firstByteMs;
        return link.run(t).collected;
    }
};

TEST(FirstByteWindow, DecidesWhetherAReplyCounts) {
    const struct {
        int firstByteMs;
        qint64 firstByteAfterReleaseUs;
        bool collected;
    } cases[] = {{600, 590'000, true},
                 {600, 610'000, false},
                 {50, 40'000, true},
                 {50, 60'000, false},
                 {1000, 900'000, true}};
    for (const auto& w : cases)
        EXPECT_EQ(Line(w.firstByteAfterReleaseUs).collected(w.firstByteMs), w.collected);
}

TEST(FirstByteWindow, AShortWindowEndsWithItsExchange) {
    // The reply comes 500 ms after release: too late for the 20 ms window, but the next
    // exchange, with the default window, waits the full 600 ms again.
    Line l(500'000);
    EXPECT_FALSE(l.collected(20));
    l.clock.advanceUs(1'000'000); // the first answer is over
    EXPECT_TRUE(l.link.run({Pattern::ButtonRead, ReadSetup1}).collected);
}

} // namespace
