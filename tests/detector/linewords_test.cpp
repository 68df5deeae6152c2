// The words of the traffic window and the monitor, for proper and malformed frame pairs.
#include "detector/linewords.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

QByteArray framed(const char* hexBody) {
    return withCrc(QByteArray::fromHex(hexBody));
}

ReplyVerdict verdict(ReplyFault fault, int length = 0, int code = 0, int trailing = 0) {
    ReplyVerdict v;
    v.fault = fault;
    v.frameLength = length;
    v.exceptionCode = quint8(code);
    v.trailingBytes = trailing;
    return v;
}

const QByteArray statusReply = framed("0cc8090020"
                                      "0075"
                                      "4fc1"
                                      "00"
                                      "4e"
                                      "00");

TEST(LineWords, Requests) {
    EXPECT_EQ(DescribeRequest(SendCommand(12, cmd::Status)), "status request to 12");
    EXPECT_EQ(DescribeRequest(SendCommand(0, cmd::Bit)), "BIT request to 0");
    EXPECT_EQ(DescribeRequest(ReadInputs(3, "Zorvan B1")), "read 22 input registers from 3");
    EXPECT_EQ(DescribeRequest(ReadSetup(4, "")),
              "read 1 holding register from 4 (from register 1)");
    EXPECT_EQ(DescribeRequest(WriteAddr(4, 9)), "write 9 to register 0 of 4");
    QByteArray bad = SendCommand(12, cmd::Status);
    bad[11] = char(bad[11] ^ 1);
    EXPECT_EQ(DescribeRequest(bad), "status request to 12, bad check bytes");
    EXPECT_EQ(DescribeRequest(QByteArray::fromHex("0c c8 07")), "3 bytes, too short for a request");
    EXPECT_EQ(DescribeRequest(QByteArray::fromHex("0c c8 07 00 20")),
              "short request: 5 of 12 bytes");
    EXPECT_EQ(DescribeRequest(framed("0541")), "function 65 to 5");
}

struct ReplyCase {
    QByteArray request;
    QByteArray reply;
    ReplyVerdict verdict;
    const char* words;
};

TEST(LineWords, RepliesProperAndMalformed) {
    const QByteArray status = SendCommand(12, cmd::Status);
    const QByteArray inputs = ReadInputs(3, "");
    const ReplyCase cases[] = {
        {status, statusReply, verdict(ReplyFault::None, 14),
         "status reply: Zorvan A2, serial 20417, status N"},
        {status, statusReply + "xy", verdict(ReplyFault::None, 14, 0, 2),
         "status reply: Zorvan A2, serial 20417, status N, 2 trailing bytes dropped"},
        {status, {}, verdict(ReplyFault::NoReply), "no reply (600 ms)"},
        {inputs, framed("0384 02"), verdict(ReplyFault::Exception, 5, 2), "exception 2 from 3"},
        {inputs, framed("0304 02 0007"), verdict(ReplyFault::None, 7),
         "1 input register from 3: 7"},
        {WriteAddr(4, 9), WriteAddr(4, 9), verdict(ReplyFault::None, 8), "4 wrote 9 to register 0"},
        {status, statusReply.left(9), verdict(ReplyFault::WrongLength),
         "short reply: 9 of 14 bytes"},
        {status, QByteArray::fromHex("ff00ff"), verdict(ReplyFault::BadCheck),
         "bad check bytes, 3 bytes"},
        {inputs, framed("0704 02 0007"), verdict(ReplyFault::OtherAddress),
         "reply from 7, not from 3"},
        {inputs, inputs, verdict(ReplyFault::Echo), "the request came back (echo)"},
        // A verdict that claims a proper answer the bytes cannot hold is not believed.
        {status, statusReply.left(8), verdict(ReplyFault::None, 14), "malformed reply, 8 bytes"},
        {inputs, statusReply, verdict(ReplyFault::None, 14), "malformed reply, 14 bytes"},
        {SendCommand(2, cmd::Version), framed("02c80b0014 0075 4fc1 31 0a 32"),
         verdict(ReplyFault::None, 14), "version reply from 2: \"1?2\""},
    };
    for (const ReplyCase& c : cases)
        EXPECT_EQ(DescribeReply(c.request, c.reply, c.verdict, 600), c.words) << c.words;
}

} // namespace
