// What a detector answers, byte by byte, to well-formed and malformed requests. Every reply is
// built with the simulator's own check, so these bytes also pin that check.
#include "sim/simcheck.h"
#include "sim/simdetector.h"
#include "sim/simhelpers.h"

#include <gtest/gtest.h>

using namespace fh;
using namespace fh::test;

TEST(SimReplies, ByteByByte) {
    const struct {
        const char* name;
        const char* request;
        const char* reply; // empty: silence
    } cases[] = {{"Status", StatusTo1, "01 C8 09 00 20 00 75 4F C1 00 4E 00 CB 62"},
                 {"Bit", "01 C8 07 00 11 D1 5B 04 05 03 B9 06", "01 C8 05 00 11 00 4E 00 F8 C2"},
                 {"Version", "01 C8 07 00 14 D1 5B 04 05 03 B9 53",
                  "01 C8 0A 00 14 00 75 4F C1 56 31 2E 30 77 F6"},
                 {"SetupRegister1", "01 03 00 01 00 01 D5 CA", "01 03 02 25 30 A2 C0"},
                 {"AddressAndSetup", "01 03 00 00 00 05 85 C9",
                  "01 03 0A 00 01 25 30 00 00 00 00 00 00 DB 02"},
                 {"HoldingPastTheEnd", "01 03 00 01 00 05 D4 09", "01 83 02 C0 F1"},
                 {"HoldingCountZero", "01 03 00 01 00 00 14 0A", "01 83 03 01 31"},
                 {"TwentyTwoInputsOnAFifteenModel", "01 04 00 00 00 16 71 C4", "01 84 02 C2 C1"},
                 {"UnknownFunction", "01 05 00 00 00 01 0C 0A", "01 85 01 83 50"},
                 {"UnknownCommandIsSilent", "01 C8 07 00 63 D1 5B 04 05 03 B3 D4", ""},
                 {"CommandWithWrongKeyIsSilent", "01 C8 07 00 20 D1 5B 04 05 04 FC E5", ""},
                 {"BadCheckIsSilent", "01 C8 07 00 20 D1 5B 04 05 03 BD 28", ""},
                 {"ChangedCountIsSilent", "01 03 00 01 00 02 D5 CA", ""},
                 {"NothingIsSilent", "", ""},
                 {"CutShortIsSilent", "01 C8 07 00 20 D1 5B 04 05", ""},
                 {"OtherAddressIsSilent", "02 C8 07 00 20 D1 5B 04 05 03 4D 28", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimDetector d(1, 117, 0x4FC1); // Zorvan A2
        d.setVersion("V1.0");
        const auto segments = d.respond(hex(c.request), 0);
        EXPECT_EQ(spaced(joined(segments)), spaced(hex(c.reply)));
        if (!segments.empty()) {
            EXPECT_EQ(segments.front().delayUs, SimDetector::DefaultLatencyUs);
        }
    }
}

TEST(SimReplies, MaintenanceReadingsFollowTheRegisterLayout) {
    SimDetector d(1, 358, 0xBEEF); // Zorvan C1: 22 registers
    d.setFaultFlag(2);
    d.setStatusChar('W');
    d.setInputFloat(5, 1.5f);   // SUM4 = 0x3FC00000
    d.setInputFloat(20, -2.0f); // BIT SUM5 = 0xC0000000
    d.setInput(11, 0xFB);       // -5 degrees
    d.setInput(12, 241);        // 24.1 V
    const QByteArray r = joined(d.respond(hex("01 04 00 00 00 16 71 C4"), 0));
    ASSERT_EQ(r.size(), 49);
    EXPECT_TRUE(simCheckOk(r));
    EXPECT_EQ(spaced(r.left(3)), "01 04 2C");
    EXPECT_EQ(spaced(r.mid(5, 2)), "BE EF");        // serial
    EXPECT_EQ(spaced(r.mid(9, 2)), "02 57");        // fault flag, 'W'
    EXPECT_EQ(spaced(r.mid(13, 4)), "3F C0 00 00"); // SUM4
    EXPECT_EQ(spaced(r.mid(43, 4)), "C0 00 00 00"); // BIT SUM5
    EXPECT_EQ(spaced(r.mid(25, 4)), "00 FB 00 F1"); // temperature, voltage

    SimDetector a2(1, 117, 1);
    const QByteArray r15 = joined(a2.respond(hex("01 04 00 00 00 0F B0 0E"), 0));
    EXPECT_EQ(r15.size(), 35);
    EXPECT_TRUE(simCheckOk(r15));
}

TEST(SimWrites, ChangeRegistersOrRefuse) {
    const struct {
        const char* name;
        const char* request;
        const char* reply;
        int reg;          // holding register to look at afterwards
        quint16 expected; // its value then
    } cases[] = {{"NewAddress", "01 06 00 00 00 02 08 0B", "01 06 00 00 00 02 08 0B", 0, 2},
                 {"AddressZeroRefused", "01 06 00 00 00 00 89 CA", "01 86 03 02 61", 0, 1},
                 {"SetupWord", "01 06 00 01 12 34 D5 7D", "01 06 00 01 12 34 D5 7D", 1, 0x1234},
                 {"RegisterFiveRefused", "01 06 00 05 00 01 58 0B", "01 86 02 C3 A1", 1, 0x4505},
                 {"FourSetupWords", "01 10 00 01 00 04 08 45 05 00 00 00 01 00 0F CB 72",
                  "01 10 00 01 00 04 90 0A", 4, 15},
                 {"ByteCountMismatch", "01 10 00 01 00 04 07 45 05 00 00 00 01 00 0F 8A 82",
                  "01 90 03 0C 01", 4, 15}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimDetector d(1, 358, 7); // Zorvan C1, factory setup 4505 0000 0001 000F
        EXPECT_EQ(spaced(joined(d.respond(hex(c.request), 0))), spaced(hex(c.reply)));
        EXPECT_EQ(d.holding(c.reg), c.expected);
    }
}
