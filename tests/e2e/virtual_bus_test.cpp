// The host's link and decoders against the simulated bus on the virtual line, in virtual
// time: the two sides were written apart, so agreement here means both read the protocol
// the same way.
#include "detector/detectorrecord.h"
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/link.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "sim/simbus.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

struct Line {
    VirtualClock clock;
    std::unique_ptr<SimBus> bus = makeDefaultBus();
    VirtualPort port{clock, *bus};
    Link link{port, clock, MakeReplyChecker()};
    Line() { port.open(); }
    Exchange poll(quint8 address) {
        return link.run({Pattern::Poll, SendCommand(address, cmd::Status)});
    }
};

TEST(VirtualBus, EachDefaultDetectorReportsItsModel) {
    struct Case {
        quint8 address;
        const char* model;
    };
    for (const Case c : {Case{1, "Zorvan A2"}, Case{2, "Zorvan C1"}, Case{3, "Zorvan B1"}}) {
        Line l;
        const Exchange x = l.poll(c.address);
        ASSERT_TRUE(StatusReplyComplete(x.reply)) << int(c.address);
        DetectorRecord record;
        DecodeStatusReply(x.reply, record);
        EXPECT_EQ(record.ModelName, c.model);
        EXPECT_EQ(quint8(x.reply[0]), c.address);
    }
}

TEST(VirtualBus, NobodyAtTheAddressMeansSilence) {
    Line l;
    EXPECT_FALSE(l.poll(99).collected);
}

TEST(VirtualBus, MasterModeFindsALoneDetectorAndSeveralCollide) {
    Line lone;
    for (quint8 a : {1, 2, 4})
        lone.bus->remove(a);
    const Exchange found = lone.poll(0);
    ASSERT_TRUE(StatusReplyComplete(found.reply));
    DetectorRecord record;
    record.MasterMode = true;
    DecodeStatusReply(found.reply, record);
    EXPECT_EQ(record.Address, 3);
    EXPECT_EQ(crc16(found.reply), 0) << "a clean frame";

    Line crowded;
    const Exchange x = crowded.poll(0);
    ASSERT_TRUE(x.collected);
    EXPECT_NE(crc16(x.reply), 0) << "overlapping answers cannot make a clean frame";
}

TEST(VirtualBus, AddressWriteMovesTheDetector) {
    Line l;
    Transaction move{Pattern::ConfirmedWrite, WriteAddr(2, 42)};
    move.test = AddrReplyOK;
    const Exchange x = l.link.run(move);
    EXPECT_TRUE(x.acknowledged);
    EXPECT_EQ(x.attempts, 1);
    EXPECT_FALSE(l.poll(2).collected);
    EXPECT_TRUE(StatusReplyComplete(l.poll(42).reply));
}

TEST(VirtualBus, WriteAcknowledgedOnTheFourthAttempt) {
    Line l;
    SimFaults f;
    f.ignoreNext = 3;
    l.bus->detector(3)->setFaults(f);
    Transaction move{Pattern::ConfirmedWrite, WriteAddr(3, 9)};
    move.test = AddrReplyOK;
    const Exchange x = l.link.run(move);
    EXPECT_TRUE(x.acknowledged);
    EXPECT_EQ(x.attempts, 4);
}

} // namespace
