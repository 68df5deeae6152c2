// The words of the traffic window and the monitor, for proper and malformed frame pairs.
#include "detector/linewords.h"
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

QByteArray framed(const char* hexBody) {
    return withCrc(QByteArray::fromHex(hexBody));
}

// Verdicts made by hand, also ones the reply check never gives: the words must not trust them.
ReplyVerdict verdict(ReplyFault fault, int length = 0) {
    return {.fault = fault, .frameLength = length};
}

const QByteArray statusReply = framed("0cc8090020 0075 4fc1 00 4e 00");

TEST(LineWords, Requests) {
    const std::pair<QByteArray, const char*> cases[] = {
        {SendCommand(0, cmd::Bit), "BIT request to 0"},
        {ReadInputs(3, InputRegistersLong), "read 22 input registers from 3"},
        {ReadSetup(4, SetupRegistersShort), "read 1 holding register from 4 (from register 1)"},
        {WriteAddr(4, 9), "write 9 to register 0 of 4"},
        {SendCommand(12, cmd::Status).chopped(1) + 'x', "status request to 12, bad check bytes"},
        {QByteArray::fromHex("0c c8 07"), "3 bytes, too short for a request"},
        {QByteArray::fromHex("0c c8 07 00 20"), "short request: 5 of 12 bytes"},
        {framed("0541"), "function 65 to 5"},
    };
    for (const auto& [request, words] : cases)
        EXPECT_EQ(DescribeRequest(request), words) << words;
}

// Rows without a verdict of their own get the reply check's, as the window and the monitor do.
TEST(LineWords, Replies) {
    const QByteArray status = SendCommand(12, cmd::Status);
    const QByteArray inputs = ReadInputs(3, InputRegistersShort);
    const QByteArray setup = ReadSetup(4, SetupRegistersShort);
    const QByteArray badCheck = statusReply.chopped(1) + char(statusReply.back() ^ 0x55);
    const struct {
        QByteArray request, reply;
        std::optional<ReplyVerdict> verdict;
        const char* words;
    } cases[] = {
        {status, {}, verdict(ReplyFault::NoReply), "no reply (600 ms)"},
        {inputs, framed("0304 02 0007"), verdict(ReplyFault::None, 7),
         "1 input register from 3: 7"},
        {WriteAddr(4, 9), WriteAddr(4, 9), verdict(ReplyFault::None, 8), "4 wrote 9 to register 0"},
        // A verdict that claims a proper answer the bytes cannot hold is not believed.
        {status, statusReply.left(8), verdict(ReplyFault::None, 14), "malformed reply, 8 bytes"},
        {inputs, statusReply, verdict(ReplyFault::None, 14), "malformed reply, 14 bytes"},
        {SendCommand(2, cmd::Version), framed("02c80b0014 0075 4fc1 31 0a 32"),
         verdict(ReplyFault::None, 14), "version reply from 2: \"1?2\""},
        {status, statusReply, {}, "status reply: Zorvan A2, serial 20417, status N"},
        // A function-200 reply carries no length: its check bytes are the last two collected.
        {status, statusReply + "xy", {}, "bad check bytes, 16 bytes"},
        {status, statusReply.left(9), {}, "short reply: 9 of 14 bytes"},
        {status, badCheck, {}, "bad check bytes, 14 bytes"},
        {status, framed("07c8090020 0075 4fc1 00 4e 00"), {}, "reply from 7, not from 12"},
        {status, status, {}, "the request came back (echo)"},
        {setup, framed("0483 02"), {}, "exception 2 from 4"},
        {setup,
         framed("0403 02 0007") + "xy",
         {},
         "1 holding register from 4: 7, 2 trailing bytes dropped"},
    };
    for (const auto& c : cases) {
        const ReplyVerdict v = c.verdict.value_or(CheckReply(c.request, c.reply));
        EXPECT_EQ(DescribeReply(c.request, c.reply, v, 600), c.words) << c.words;
    }
}

} // namespace
