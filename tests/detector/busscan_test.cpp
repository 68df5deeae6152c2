// The one rule by which a scan and the bus overview judge a status poll of one address.
#include "detector/busscan.h"
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

// The worker's result of a status poll of `address` that collected `reply`.
Exchange polled(quint8 address, const QByteArray& reply) {
    Exchange x;
    x.request = SendCommand(address, cmd::Status);
    x.collected = !reply.isEmpty();
    x.verdict = x.collected ? CheckReply(x.request, reply) : ReplyVerdict{};
    x.answered = x.verdict.ok();
    x.reply = x.answered ? reply.left(x.verdict.frameLength) : reply;
    return x;
}

// A command reply of the status reply's shape: from `address`, for `command`.
QByteArray replyFrom(int address, quint8 command = cmd::Status) {
    QByteArray b = QByteArray::fromHex("00C80900200075500100") + "N" + QByteArray(1, '\0');
    b[0] = char(address);
    b[4] = char(command);
    return withCrc(b);
}

TEST(ScanRule, OnlyAProperReplyFromTheAddressPolledIsADetector) {
    QByteArray garbled = replyFrom(1);
    garbled[7] = char(garbled.at(7) ^ 0x40);
    const struct {
        const char* name;
        QByteArray reply;
        ScanFinding finding;
        const char* text;
    } rows[] = {
        {"proper", replyFrom(1), ScanFinding::Detector, ""},
        {"silence", {}, ScanFinding::Silent, ""},
        {"another address", replyFrom(2), ScanFinding::OtherAddress, "reply carried address 2"},
        {"garbled", garbled, ScanFinding::Garbled, "garbled reply (two detectors at one address?)"},
        {"echo", SendCommand(1, cmd::Status), ScanFinding::NotStatus,
         "not a status reply (echo of the request)"},
        {"another command", replyFrom(1, cmd::Bit), ScanFinding::NotStatus,
         "not a status reply (reply to another command or value)"},
    };
    for (const auto& row : rows) {
        const ScanJudgement j = JudgeScanPoll(polled(1, row.reply));
        EXPECT_EQ(j.finding, row.finding) << row.name;
        EXPECT_EQ(ScanProblemText(j), row.text) << row.name;
    }
}

} // namespace
