// Request frames byte for byte, and the reply tests on replies cut at their edges.
#include "common/bytes.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;
using fh::test::hex;

namespace {

TEST(RequestFrames, MatchLineBytes) {
    const std::pair<QByteArray, const char*> cases[] = {
        {ReadSetup(1, 4), "01 03 00 01 00 04 15 C9"},
        {ReadInputs(1, 22), "01 04 00 00 00 16 71 C4"},
        {ReadAddr(5), "05 03 00 00 00 01 85 8E"},
        {SendCommand(3, cmd::Bit), "03 C8 07 00 11 D1 5B 04 05 03 18 CC"},
        {SendCommand(1, cmd::Status), "01 C8 07 00 20 D1 5B 04 05 03 BD 27"},
        {WriteAddr(1, 2), "01 06 00 00 00 02 08 0B"}};
    for (const auto& [built, expected] : cases)
        EXPECT_EQ(built.toHex(' '), hex(expected).toHex(' '));
}

TEST(FrameCheck, KnownCheckValues) {
    EXPECT_EQ(crc16("123456789"), 0x4B37);
    EXPECT_EQ(crc16(hex("01 03 00 01 00 01 D5 CA")), 0) << "a frame with its check sums to 0";
}

TEST(ReplyTests, AddrReplyOK) {
    const std::pair<const char*, bool> cases[] = {
        {"07 06 00 00 00 63 00 00", true},      // other address and echoed value: not compared
        {"01 86 00 00 00 0C 89 CF", false},     // exception function
        {"01 06 00 01 00 0C 89 CF", false},     // register 1, not the address register
        {"01 06 00 00 00 0C 89 CF 00", false}}; // 9 bytes
    for (const auto& [reply, ok] : cases)
        EXPECT_EQ(AddrReplyOK(hex(reply)), ok) << reply;
}

TEST(ReplyTests, VersionText) {
    const QByteArray head = hex("01 C8 07 00 14 00 00 00 00");
    EXPECT_EQ(VersionText(head + "V1.23" + hex("AA BB")), "V1.23");
    EXPECT_EQ(VersionText(head + hex("AA BB")), "");
    EXPECT_EQ(VersionText(head.left(5)), "");
    // Codes above 127 are characters too, one per byte.
    EXPECT_EQ(VersionText(head + hex("E9") + hex("AA BB")), QString(QChar(0xE9)));
}

} // namespace
