// The read back after a setup write, compared with the frame that was written.
#include "common/bytes.h"
#include "detector/setupverify.h"
#include "link/crc.h"

#include <gtest/gtest.h>

namespace fh::test {
namespace {

TEST(SetupReadBack, NamesEverySettingThatReadsBackOtherwise) {
    const struct {
        const char* model;
        const char* written; // the write frame's registers, from register 1
        const char* read;    // the read reply's registers
        const char* differs;
    } cases[] = {
        {"Zorvan A2", "6550", "6550", ""},
        {"Zorvan A2", "6550", "6530", "delay"},
        {"Zorvan A2", "6550", "2450", "sensitivity alarm_latch"},
        {"Zorvan A2", "6550", "E550", "relay_as_eol"}, // hidden, but written back all the same
        {"Zorvan A2", "6550", "6551", "other bits"},
        {"Zorvan A1", "4500", "4530", "other bits"}, // no delay on the A1
        {"Zorvan C1", "4505 0000 0001 000F", "4505 0000 0001 000F", ""},
        {"Zorvan C1", "4505 0000 0001 000F", "4505 0000 0002 0014", "heat_mode heat_on"},
        {"Zorvan C1", "4505 0000 0001 000F", "4505 0001 0001 000F", "other bits"},
        {"Zorvan C1", "4505 0000 0001 000F", "4505", "other bits"}, // too short to compare
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.read);
        const QByteArray regs = hex(c.written), read = hex(c.read);
        const QByteArray frame = regs.size() == 2 ? withCrc(hex("01 06 00 01") + regs)
                                                  : withCrc(hex("01 10 00 01 00 04 08") + regs);
        const QByteArray reply = withCrc(hex("01 03") + char(read.size()) + read);
        EXPECT_EQ(SetupReadBackDifferences(c.model, frame, reply).join(' '), c.differs);
    }
}

} // namespace
} // namespace fh::test
