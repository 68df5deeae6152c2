// Several detectors on one line: who answers, collisions, and status that changes with time.
#include "sim/simbus.h"
#include "sim/simcheck.h"
#include "sim/simhelpers.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

TEST(SimBus, AddressZeroIsAnsweredByALoneDetectorUnderItsOwnAddress) {
    SimBus bus;
    bus.add(17, 118, 0x1267);
    const QByteArray r = joined(bus.answer(hex(StatusTo0), 0));
    EXPECT_EQ(spaced(r), "11 C8 09 00 20 00 76 12 67 00 4E 00 " + spaced(r.right(2)));
    EXPECT_TRUE(simCheckOk(r));
}

TEST(SimBus, OverlappingRepliesCollideByteForByte) {
    // Same latency: the replies of 01 (117, serial 100) and 02 (358, serial 200) overlap exactly
    // and the line carries the AND of both, check bytes included.
    SimBus bus;
    bus.add(1, 117, 100);
    bus.add(2, 358, 200);
    const auto segments = bus.answer(hex(StatusTo0), 0);
    EXPECT_EQ(segments.size(), 1u);
    EXPECT_EQ(spaced(joined(segments)), "00 C8 09 00 20 00 64 00 40 00 4E 00 88 40");
    EXPECT_FALSE(simCheckOk(joined(segments)));

    // One reply 10 byte times after the other: the first ten bytes come through clean.
    const double byte = SimBus::ByteUs;
    const auto mixed = SimBus::collide({{{0, hex("01 02 03 04 05 06 07 08 09 0A 0B 0C")}},
                                        {{static_cast<qint64>(10 * byte), hex("F0 F0 F0 F0")}}});
    EXPECT_EQ(spaced(joined(mixed)), "01 02 03 04 05 06 07 08 09 0A 00 00 F0 F0");
}

TEST(SimBus, NobodyAndBadChecksGetSilence) {
    SimBus bus;
    auto d = bus.add(1, 117, 1);
    EXPECT_TRUE(bus.answer(hex("03 C8 07 00 20 D1 5B 04 05 03 1C ED"), 0).empty());
    // A write with a damaged check must not change anything either.
    EXPECT_TRUE(bus.answer(hex("01 06 00 00 00 02 08 0C"), 0).empty());
    EXPECT_EQ(d->address(), 1);
    EXPECT_EQ(d->requestsSeen(), 0);
}

TEST(SimBus, StatusCycleRunsFromTheFirstRequestHeard) {
    SimDetector d(1, 117, 1);
    d.setStatusCycle("NNW", 10'000'000);
    auto statusAt = [&](qint64 t) { return joined(d.respond(hex(StatusTo1), t)).at(10); };
    const qint64 t0 = 123'456'789;
    EXPECT_EQ(statusAt(t0), 'N');
    EXPECT_EQ(statusAt(t0 + 19'999'999), 'N');
    EXPECT_EQ(statusAt(t0 + 20'000'000), 'W');
    EXPECT_EQ(statusAt(t0 + 30'000'000), 'N');
    d.setStatusChar('A');
    EXPECT_EQ(statusAt(t0 + 50'000'000), 'A');
}
