// Several detectors on one line: who answers, collisions, and status that changes with time.
#include "sim/simbus.h"
#include "sim/simcheck.h"
#include "sim/simhelpers.h"

#include <gtest/gtest.h>

using namespace fh;
using fh::test::hex;
using fh::test::joined;

TEST(SimBus, AddressZeroIsAnsweredByALoneDetectorUnderItsOwnAddress) {
    SimBus bus;
    bus.add(17, 118, 0x1267);
    const QByteArray r = joined(bus.answer(hex(fh::test::StatusTo0), 0));
    EXPECT_EQ(fh::test::spaced(r),
              "11 C8 09 00 20 00 76 12 67 00 4E 00 " + fh::test::spaced(r.right(2)));
    EXPECT_TRUE(simCheckOk(r));
}

TEST(SimBus, TwoDetectorsAnsweringAtOnceCollide) {
    SimBus bus;
    auto a = bus.add(1, 117, 100);
    auto b = bus.add(2, 358, 200);
    const QByteArray alone1 = joined(a->respond(hex(fh::test::StatusTo1), 0));
    const QByteArray alone2 = joined(b->respond(hex("02 C8 07 00 20 D1 5B 04 05 03 4D 28"), 0));

    const auto segments = bus.answer(hex(fh::test::StatusTo0), 0);
    const QByteArray mixed = joined(segments);
    ASSERT_EQ(mixed.size(), 14);
    EXPECT_EQ(segments.size(), 1u); // same latency: the two replies overlap exactly
    for (int i = 0; i < 14; ++i)
        EXPECT_EQ(static_cast<quint8>(mixed[i]), static_cast<quint8>(alone1[i] & alone2[i])) << i;
    EXPECT_FALSE(simCheckOk(mixed));
}

TEST(SimBus, CollisionKeepsTheBytesThatDoNotOverlap) {
    // One reply 10 byte times after the other: the first ten bytes come through clean.
    const double byte = SimBus::ByteUs;
    const auto mixed = SimBus::collide({{{0, hex("01 02 03 04 05 06 07 08 09 0A 0B 0C")}},
                                        {{static_cast<qint64>(10 * byte), hex("F0 F0 F0 F0")}}});
    EXPECT_EQ(fh::test::spaced(joined(mixed)), "01 02 03 04 05 06 07 08 09 0A 00 00 F0 F0");
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
    auto statusAt = [&](qint64 t) { return joined(d.respond(hex(fh::test::StatusTo1), t)).at(10); };
    const qint64 t0 = 123'456'789;
    EXPECT_EQ(statusAt(t0), 'N');
    EXPECT_EQ(statusAt(t0 + 19'999'999), 'N');
    EXPECT_EQ(statusAt(t0 + 20'000'000), 'W');
    EXPECT_EQ(statusAt(t0 + 30'000'000), 'N');
    d.setStatusChar('A');
    EXPECT_EQ(statusAt(t0 + 50'000'000), 'A');
}
