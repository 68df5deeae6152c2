// The model table at its edge codes, and status replies as the main screen shows them.
#include "detector/detectorrecord.h"

#include <gtest/gtest.h>

#include <set>

using namespace fh;

namespace {

// Each family's low byte under a high byte it ignores; for 102 and 118 the high byte picks the
// variant, and any high byte past the listed ones gets the last.
TEST(GetModelName, EveryCodeKind) {
    const std::pair<quint16, const char*> cases[] = {
        {0xFF65, "Zorvan D2"}, {0x0066, "Zorvan D1"},      {0x0166, "Zorvan C1"},
        {0x0266, "Zorvan C2"}, {0x0366, "Zorvan C3"},      {0x0466, "Zorvan D3"},
        {0xFF66, "Zorvan D1"}, {0x0167, "Zorvan V1 NTSC"}, {0x0768, "Zorvan V2 PAL"},
        {0x0171, "Zorvan A1"}, {0xFF72, "Zorvan A4"},      {0x0173, "Zorvan A3"},
        {0x0275, "Zorvan A2"}, {0x0076, "Zorvan B1"},      {0x0176, "Zorvan B3"},
        {0x0276, "Zorvan A5"}, {0xFF76, "Zorvan B0"},      {0x0181, "Zorvan B4"},
    };
    for (const auto& [code, name] : cases)
        EXPECT_EQ(GetModelName(code), name) << code;
    // Every other low byte is unknown, whatever the high byte.
    const std::set<int> listed{101, 102, 103, 104, 113, 114, 115, 117, 118, 129};
    for (int high : {0, 1, 7, 255})
        for (int low = 0; low < 256; ++low)
            if (!listed.count(low)) {
                EXPECT_EQ(GetModelName(quint16(high << 8 | low)), "Unknown Detector") << low;
            }
}

// Address, 200, 7, 0, 32, model hi/lo, serial hi/lo, fault, status, pad.
QByteArray statusReply(quint8 address, quint16 model, quint16 serial, quint8 fault, quint8 status) {
    return QByteArray(1, char(address)) + QByteArray::fromHex("C8070020") + char(model >> 8) +
           char(model) + char(serial >> 8) + char(serial) + char(fault) + char(status) + '\0';
}

TEST(DecodeStatusReply, Displays) {
    const struct {
        quint16 model, serial;
        quint8 fault, status;
        const char* text;
        Rgb background;
        const char* serialText;
        const char* modelName;
    } cases[] = {
        {113, 0xFF01, 0, 'N', "N", colour::LightPeach, "65281", "Zorvan A1"},
        {614, 1, 0, 'W', "W", colour::Yellow, "1", "Zorvan C2"},
        {614, 1, 0, 'A', "A", colour::Red, "1", "Zorvan C2"},
        {614, 1, 1, 'W', "f", colour::Yellow, "1", "Zorvan C2"},
        {614, 1, 2, 'W', "W", colour::Yellow, "1", "Zorvan C2"}, // fault flag 2 is no fault
        {116, 1, 0, 'w', "w", colour::LightPeach, "1", "Unknown Detector"},
    };
    for (const auto& c : cases) {
        DetectorRecord record;
        const StatusDisplay d =
            DecodeStatusReply(statusReply(1, c.model, c.serial, c.fault, c.status), record);
        const std::string what = c.modelName + std::string(" ") + c.serialText + " " + c.text;
        EXPECT_EQ(d.statusText, c.text) << what;
        EXPECT_EQ(d.statusBackground, c.background) << what;
        EXPECT_EQ(d.serialText, c.serialText) << what;
        EXPECT_EQ(d.modelText, c.modelName) << what;
        EXPECT_EQ(record.ModelName, c.modelName) << what;
        EXPECT_EQ(d.linkText, "GOOD") << what;
        EXPECT_EQ(d.linkLamp, colour::Green) << what;
        EXPECT_TRUE(record.LinkGood) << what;
    }
}

TEST(DecodeStatusReply, AddressFromReplyOnlyInMasterMode) {
    DetectorRecord record;
    record.Address = 4;
    EXPECT_EQ(DecodeStatusReply(statusReply(17, 113, 1, 0, 'N'), record).addressText, "4");
    EXPECT_EQ(record.Address, 4);

    record.MasterMode = true;
    EXPECT_EQ(DecodeStatusReply(statusReply(17, 113, 1, 0, 'N'), record).addressText, "17");
    EXPECT_EQ(record.Address, 17);
}

TEST(DecodeStatusReply, ShortReplyAndBadLinkKeepIdentityFields) {
    DetectorRecord record;
    record.Address = 9;
    DecodeStatusReply(statusReply(9, 614, 77, 0, 'W'), record);
    DetectStatusChange(record, statusReply(9, 614, 77, 0, 'W'));

    for (const QByteArray& failed : {statusReply(9, 113, 1, 0, 'N').left(11), QByteArray()}) {
        DetectorRecord r = record;
        const StatusDisplay d = DecodeStatusReply(failed, r);
        EXPECT_EQ(d.statusText, "D");
        EXPECT_EQ(d.linkText, "BAD");
        EXPECT_EQ(d.linkLamp, colour::Red);
        EXPECT_TRUE(d.modelText.isEmpty());
        EXPECT_TRUE(d.serialText.isEmpty());
        EXPECT_EQ(d.addressText, "9");
        EXPECT_FALSE(r.LinkGood);
        EXPECT_TRUE(r.ModelName.isEmpty()) << "model-dependent requests fall back to short reads";
        EXPECT_EQ(r.ModelCode, 614);
        EXPECT_FALSE(DetectStatusChange(r, failed.left(10)));
        EXPECT_EQ(r.LastStatusByte, 'W');
        EXPECT_EQ(StatusText(r), "D");
    }
}

TEST(DetectStatusChange, LogsChangesToLettersOnly) {
    // Status bytes in turn, and whether each is logged.
    const std::pair<quint8, bool> sequence[] = {
        {'N', true},                // first poll: 0 -> N
        {'N', false},               // same letter again
        {'W', true},                // N -> W
        {0x35, false},              // to the digit 5: remembered, not logged
        {0x35, false}, {'N', true}, // back to a letter
        {'w', true},   {0x00, false}, {'z', true},
    };
    DetectorRecord record;
    int step = 0;
    for (const auto& [status, logs] : sequence) {
        const QByteArray reply = statusReply(1, 113, 1, 0, status);
        DecodeStatusReply(reply, record);
        EXPECT_EQ(DetectStatusChange(record, reply), logs) << "step " << step;
        EXPECT_EQ(record.LastStatusByte, status) << "step " << step;
        ++step;
    }
}

} // namespace
