// The one rule by which a scan and the bus overview judge a status poll of one address.
#include "detector/busscan.h"
#include "detector/replycheck.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

TEST(ScanRule, OnlyAProperReplyFromTheAddressPolledIsADetector) {
    // A reply of the status reply's shape, from `address`, for `command`.
    const auto from = [](int address, quint8 command = cmd::Status) {
        QByteArray b = QByteArray::fromHex("00C80900200075500100") + "N" + QByteArray(1, '\0');
        b[0] = char(address);
        b[4] = char(command);
        return withCrc(b);
    };
    QByteArray garbled = from(1);
    garbled[7] = char(garbled.at(7) ^ 0x40);
    const struct {
        const char* name;
        QByteArray reply;
        ScanFinding finding;
        const char* text;
    } rows[] = {
        {"proper", from(1), ScanFinding::Detector, ""},
        {"silence", {}, ScanFinding::Silent, ""},
        {"another address", from(2), ScanFinding::OtherAddress, "reply carried address 2"},
        {"garbled", garbled, ScanFinding::Garbled, "garbled reply (two detectors at one address?)"},
        {"another command", from(1, cmd::Bit), ScanFinding::NotStatus,
         "not a status reply (reply to another command or value)"},
    };
    for (const auto& row : rows) {
        Exchange x; // as the worker hands back a status poll of address 1
        x.request = SendCommand(1, cmd::Status);
        x.collected = !row.reply.isEmpty();
        x.verdict = x.collected ? CheckReply(x.request, row.reply) : ReplyVerdict{};
        x.answered = x.verdict.ok();
        x.reply = row.reply;
        const ScanJudgement j = JudgeScanPoll(x);
        EXPECT_EQ(j.finding, row.finding) << row.name;
        EXPECT_EQ(ScanProblemText(j), row.text) << row.name;
    }
}
