// The first-byte window a transaction may shorten (flamehost-cli --timeout): honoured by the
// exchange that asks for it, and never left behind for the next one.
#include "detector/replycheck.h"
#include "link/link.h"
#include "link/virtualport.h"
#include "scriptedpeer.h"

#include <gtest/gtest.h>

using namespace fh;
using fh::test::hex;

namespace {

const QByteArray ReadSetup1 = hex("01 03 00 01 00 01 D5 CA");
const QByteArray SetupReply = hex("01 03 02 00 07 F9 86");

struct Window {
    int firstByteMs;
    qint64 firstByteAfterReleaseUs;
    bool collected;
};

class FirstByteWindow : public ::testing::TestWithParam<Window> {};

TEST_P(FirstByteWindow, DecidesWhetherAReplyCounts) {
    const Window w = GetParam();
    VirtualClock clock;
    test::ScriptedPeer peer([&](const QByteArray&, qint64 end) {
        return test::arrivingAt(end, end + w.firstByteAfterReleaseUs, SetupReply);
    });
    VirtualPort port(clock, peer);
    ASSERT_TRUE(port.open());
    Link link(port, clock, MakeReplyChecker());
    link.TurnaroundDelay = 0;
    Transaction t(Pattern::ButtonRead, ReadSetup1);
    t.firstByteMs = w.firstByteMs;
    EXPECT_EQ(link.run(t).collected, w.collected);
}

INSTANTIATE_TEST_SUITE_P(Windows, FirstByteWindow,
                         ::testing::Values(Window{600, 590'000, true}, Window{600, 610'000, false},
                                           Window{50, 40'000, true}, Window{50, 60'000, false},
                                           Window{1000, 900'000, true}));

TEST(FirstByteWindow, AShortWindowEndsWithItsExchange) {
    VirtualClock clock;
    test::ScriptedPeer peer;
    VirtualPort port(clock, peer);
    ASSERT_TRUE(port.open());
    Link link(port, clock, MakeReplyChecker());
    link.TurnaroundDelay = 0;
    Transaction quick(Pattern::ButtonRead, ReadSetup1);
    quick.firstByteMs = 20;
    EXPECT_FALSE(link.run(quick).collected);

    // The next exchange, with the default window, still waits the full 600 ms.
    peer.setScript([](const QByteArray&, qint64 end) {
        return test::arrivingAt(end, end + 500'000, SetupReply);
    });
    EXPECT_TRUE(link.run({Pattern::ButtonRead, ReadSetup1}).collected);
}

} // namespace
