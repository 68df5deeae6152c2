// The first-byte window a transaction may shorten (flamehost-cli --timeout): honoured by the
// exchange that asks for it, and never left behind for the next one.
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

namespace {

// The setup reply's first byte has arrived `afterUs` after the line is released.
ScriptedPeer::Script answerAfter(qint64 afterUs) {
    return always({{afterUs - 1042, SetupReply}});
}

// A reply whose first byte is in the window is collected for 100 ms more; a later one is not
// heard, and the wait ends as the window closes. A button read's window opens when the line is
// released, a poll's when the request is handed over (8 bytes, 8.3 ms, earlier).
TEST(FirstByteWindow, DecidesWhetherAReplyCounts) {
    const struct {
        Pattern pattern;
        int windowMs;
        qint64 firstByteUs; // after the line is released
        bool collected;
        qint64 tookUs; // from the release to the end of the exchange
    } cases[] = {{Pattern::ButtonRead, 600, 595'000, true, 695'000},
                 {Pattern::Poll, 600, 595'000, false, 591'667},
                 {Pattern::ButtonRead, 600, 610'000, false, 600'000},
                 {Pattern::ButtonRead, 50, 40'000, true, 140'000},
                 {Pattern::ButtonRead, 50, 60'000, false, 50'000},
                 {Pattern::ButtonRead, 1000, 900'000, true, 1'000'000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.pattern)) + " " + std::to_string(c.firstByteUs));
        Line l(answerAfter(c.firstByteUs));
        l.link.turnaroundUs = 0;
        Transaction t(c.pattern, ReadSetup1);
        t.firstByteMs = c.windowMs;
        EXPECT_EQ(l.link.run(t).collected, c.collected);
        EXPECT_EQ(l.link.reply().size(), c.collected ? 7 : 0);
        EXPECT_NEAR(l.clock.nowUs() - l.first(LineEvent::RtsOff), c.tookUs, 1000);
    }
}

// Where nothing is keyed the turnaround is not slept, yet a button read's window still opens
// when the line would have been released, 4 ms after the request's last byte.
TEST(FirstByteWindow, AButtonReadOpensAtTheReleaseWhereNothingIsKeyed) {
    for (const auto& [afterReleaseUs, collected] : {std::pair{598'000, true}, {602'000, false}}) {
        Line l(answerAfter(4000 + afterReleaseUs));
        l.port.setAdapter(LineMode::Auto);
        l.link.mode = LineMode::Auto;
        EXPECT_EQ(l.link.run({Pattern::ButtonRead, ReadSetup1}).collected, collected)
            << afterReleaseUs;
    }
}

// The reply comes 500 ms after release: too late for a 20 ms window, in time for the default
// one before and after it. A wait that hears nothing leaves the last reply where it was.
TEST(FirstByteWindow, AShortWindowEndsWithItsExchange) {
    Line l(answerAfter(500'000));
    l.link.turnaroundUs = 0;
    ASSERT_TRUE(l.link.run({Pattern::ButtonRead, ReadSetup1}).collected);
    const QByteArray kept = l.link.reply();
    Transaction quick(Pattern::ButtonRead, ReadSetup1);
    quick.firstByteMs = 20;
    EXPECT_FALSE(l.link.run(quick).collected);
    EXPECT_EQ(l.link.reply().size(), 7);
    EXPECT_EQ(l.link.reply(), kept);
    l.clock.advanceUs(1'000'000); // the answer to the quick exchange is over
    EXPECT_TRUE(l.link.run({Pattern::ButtonRead, ReadSetup1}).collected);
}

} // namespace
