// Setup rows per model, the decode of read replies, the write frames and their round trips.
#include "common/bytes.h"
#include "detector/models.h"
#include "detector/setupcodec.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;
using fh::test::hex;
using SL = SensitivityList;

namespace {

// A proper reply to the model's setup read.
QByteArray setupReply(const QString& model, quint8 hi, quint8 lo, quint8 heatMode = 0,
                      quint8 heatOn = 0) {
    const int n = SetupRegisterCount(model);
    QByteArray body = hex("01 03") + char(2 * n) + char(hi) + char(lo);
    if (n == 4)
        body += QByteArray(3, '\0') + char(heatMode) + '\0' + char(heatOn);
    return withCrc(body);
}

// The bytes a write frame carries.
SetupBytes bytesOf(const QByteArray& frame) {
    auto b = [&](int i) { return quint8(frame.at(i)); };
    return frame.size() == 17 ? SetupBytes{b(7), b(8), b(12), b(14)} : SetupBytes{b(4), b(5)};
}

const QStringList allModels{"Zorvan A1",      "Zorvan A2",     "Zorvan A3", "Zorvan A4",
                            "Zorvan A5",      "Zorvan B0",     "Zorvan B1", "Zorvan B3",
                            "Zorvan B4",      "Zorvan C1",     "Zorvan C2", "Zorvan C3",
                            "Zorvan D1",      "Zorvan D2",     "Zorvan D3", "Zorvan E1",
                            "Zorvan V1 NTSC", "Zorvan V2 PAL", "Zorvan Q9", ""};

// Only the heat models and Zorvan B1 read the long tables; names must match exactly.
TEST(ModelTable, ReadCountsPerModel) {
    for (const auto& [model, setup, inputs] : {std::tuple{"Zorvan A1", 1, 15},
                                               {"Zorvan C2", 4, 22},
                                               {"Zorvan B1", 4, 22},
                                               {"Zorvan C2 ", 1, 15},
                                               {"Unknown Detector", 1, 15}}) {
        EXPECT_EQ(ReadSetup(1, model), ReadSetup(1, setup)) << model;
        EXPECT_EQ(ReadInputs(1, model), ReadInputs(1, inputs)) << model;
    }
}

// What the round trips below cannot see: a code with no text, heat bytes outside their lists,
// single flag bits, and a name that is not exactly a model's getting the last row.
TEST(DecodeSetupReply, PerModelRow) {
    const SetupFlags none, b1{true, false, true, false, false, false};
    const SetupFlags q9{false, true, false, false, true, true};
    const struct {
        const char* model;
        quint8 hi, lo, heatMode, heatOn;
        SetupValue expected;
    } cases[] = {
        {"Zorvan A1", 0x40, 0, 0, 0, {"", "", "", "", none}}, // code 2 has no text
        {"Zorvan B1", 0x25, 0x30, 2, 30, {"20", "", "", "", b1}},
        {"Zorvan C2", 0x00, 0, 7, 12, {"15", "", "", "", none}},
        {"Zorvan Q9", 0x92, 0x50, 0, 0, {"15", "", "", "", q9}},
        {"zorvan a2", 0x92, 0x50, 0, 0, {"15", "", "", "", q9}},
    };
    for (const auto& c : cases) {
        const auto v =
            DecodeSetupReply(setupReply(c.model, c.hi, c.lo, c.heatMode, c.heatOn), c.model);
        ASSERT_TRUE(v.has_value()) << c.model << " " << int(c.hi);
        EXPECT_EQ(*v, c.expected) << c.model << " " << int(c.hi);
    }
}

TEST(DecodeSetupReply, OnlyProperAnswersAreDecoded) {
    const struct {
        const char* what;
        const char* model;
        QByteArray reply;
    } cases[] = {
        {"exception", "Zorvan A2", hex("01 83 02 C0 F1")},
        {"function 4", "Zorvan A2", withCrc(hex("01 04 02 FF 70"))},
        {"four registers for a one-register model", "Zorvan A2", setupReply("Zorvan C1", 1, 2)},
        {"one register for B1", "Zorvan B1", setupReply("Zorvan A2", 1, 2)},
        {"check bytes missing", "Zorvan A2", hex("01 03 02 FF 70 98")},
        {"heat bytes missing", "Zorvan C1", setupReply("Zorvan C1", 0, 0, 1, 5).left(10)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DecodeSetupReply(c.reply, c.model).has_value()) << c.what;
}

TEST(WriteSetup, FrameVectors) {
    const SetupFlags all{true, true, true, true, true, true}, c2{true, true, true, true, true};
    EXPECT_EQ(WriteSetup(1, "Zorvan A2", {"10", "30", "", "", all}).toHex(' '),
              hex("01 06 00 01 FF 70 98 1E").toHex(' '));
    EXPECT_EQ(WriteSetup(1, "Zorvan C2", {"60", "", "AUTO", "15", c2}).toHex(' '),
              hex("01 10 00 01 00 04 08 7F 00 00 00 00 01 00 0F 1D 19").toHex(' '));
    // B1 reads four registers but writes only register 1.
    EXPECT_EQ(WriteSetup(1, "Zorvan B1", {"20", "", "ON", "30", {}}).toHex(' '),
              hex("01 06 00 01 20 00 C1 CA").toHex(' '));
}

TEST(WriteSetup, ListTextsToBytes) {
    const struct {
        const char* model;
        SetupValue value;
        SetupBytes expected;
    } cases[] = {
        {"Zorvan A2", {"7.5", "nope", "", "", {}}, {0x40, 0x00, 0, 0}},
        {"Zorvan A1", {"", "", "", "", {}}, {0x00, 0, 0, 0}},
        {"Zorvan A3", {"15", "", "", "", {}}, {0x20, 0, 0, 0}},
        {"Zorvan B3", {"10", "", "", "", {}}, {0x60, 0, 0, 0}},
        {"Zorvan A5", {"40", "30", "", "", {true}}, {0x61, 0, 0, 0}}, // hidden delay text: 0
        {"Zorvan C3", {"30", "", "", "", {}}, {0x20, 0, 0, 0}},       // no heat selection: 0
        {"Zorvan C3", {"60", "", "OFF", "25", {}}, {0x60, 0, 0, 25}},
        {"Zorvan D1", {"45", "", "ON", "30", {}}, {0x40, 0, 0, 0}}, // no heat outside C models
    };
    for (const auto& c : cases)
        EXPECT_EQ(bytesOf(WriteSetup(7, c.model, c.value)), c.expected) << c.model;
}

TEST(SensitivityCode, TypedTextCountsOnlyWhenItEqualsAListValue) {
    // Refused text is never written (the screen and the CLI refuse it first); were it, it
    // would write the first code.
    const struct {
        SL list;
        const char* text;
        bool writable;
        quint8 code;
    } cases[] = {
        {SL::MI, "40", true, 3},          {SL::MI, "40.0", true, 3},
        {SL::MI, " 2e1 ", true, 1},       {SL::MI, "25", false, 0},
        {SL::MI, "55", false, 0},         {SL::MI, "abc", false, 0},
        {SL::MI, "1e9", false, 0},        {SL::Sens, "60", true, 3},
        {SL::Sens, "14", false, 0},       {SL::SensFast, "10.0", true, 3},
        {SL::SensFast, "99", false, 0},   {SL::SensFast, "7.50", true, 2},
        {SL::MI3, "10", true, 3},         {SL::SensSingle, "15", true, 1},
        {SL::SensSingle, "20", false, 0}, {SL::UVIR, "5", false, 0},
        {SL::UVIR, "15.0", true, 1},      {SL::MI, "", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(SensitivityListName(c.list).toStdString() + " " + c.text);
        EXPECT_EQ(SensitivityTextWritable(c.list, c.text), c.writable);
        EXPECT_EQ(SensitivityCode(c.list, c.text), c.code);
    }

    // No typed text ever reaches the flag bits around the code.
    for (const char* text : {"55", "5", "999999", "-1"})
        EXPECT_EQ(bytesOf(WriteSetup(1, "Zorvan B1", {text, "", "", "", {}})).setupHi & ~0x60, 0)
            << text;
}

// Every list value written and read back shows the same texts.
TEST(RoundTrip, ListValuesComeBackUnchanged) {
    const SetupFlags flagSets[] = {
        {}, {true, false, true, false, true, false}, {false, true, false, true, false, true}};
    for (const QString& model : allModels) {
        const SetupRow row = SetupRowFor(model);
        const QStringList delays = row.delayShown ? DelayItems() : QStringList{""};
        const QStringList modes = row.heatShown ? HeatModeItems() : QStringList{""};
        const QStringList thresholds = row.heatShown ? HeatOnItems() : QStringList{""};
        for (const QString& sens : SensitivityItems(row.sensitivity))
            for (const QString& delay : delays)
                for (int i = 0; i < modes.size(); ++i)
                    for (const SetupFlags& flags : flagSets) {
                        const SetupValue v{sens, delay, modes[i],
                                           thresholds[(i * 3) % thresholds.size()], flags};
                        const SetupBytes b = bytesOf(WriteSetup(1, model, v));
                        const auto back = DecodeSetupReply(
                            setupReply(model, b.setupHi, b.setupLo, b.heatMode, b.heatOn), model);
                        ASSERT_TRUE(back.has_value());
                        EXPECT_EQ(*back, v) << model.toStdString() << " " << sens.toStdString();
                    }
    }
}

// Every SetupHi read and written back unchanged: only the documented bits move.
TEST(RoundTrip, DetectorBytesWrittenBack) {
    for (const QString& model : allModels) {
        const SetupRow row = SetupRowFor(model);
        for (int hi = 0; hi < 256; ++hi)
            for (int lo : {0x00, 0x1F, 0x35, 0xFF})
                for (int heat : {0, 2, 3, 25, 26}) {
                    const auto v = DecodeSetupReply(setupReply(model, hi, lo, heat, heat), model);
                    ASSERT_TRUE(v.has_value());
                    const SetupBytes b = bytesOf(WriteSetup(1, model, *v));

                    int expectedHi = hi;
                    if (row.sensitivity == SL::UVIR)
                        expectedHi = (hi & ~0x60) | 0x20; // "15" is written as bit 5 set
                    if (row.sensitivity == SL::SensSingle && (hi & 0x40))
                        expectedHi = hi & ~0x60; // no text for codes 2 and 3: code 0
                    EXPECT_EQ(b.setupHi, expectedHi) << model.toStdString() << " " << hi;
                    EXPECT_EQ(b.setupLo, row.delayShown ? (lo & 0x70) : 0) << model.toStdString();
                    const bool modeKept = row.heatShown && heat <= 2;
                    const bool onKept = row.heatShown && heat % 5 == 0 && heat <= 30;
                    EXPECT_EQ(b.heatMode, modeKept ? heat : 0) << model.toStdString();
                    EXPECT_EQ(b.heatOn, onKept ? heat : 0) << model.toStdString();

                    // Exactly the settings that move are reported, with the value read.
                    std::vector<SetupDrift> drifts;
                    const int codeMask = row.sensitivity == SL::UVIR ? 1 : 3;
                    if (((expectedHi ^ hi) >> 5) & codeMask)
                        drifts.push_back({"sensitivity", (hi >> 5) & codeMask});
                    if (row.heatShown && !modeKept)
                        drifts.push_back({"heat_mode", heat});
                    if (row.heatShown && !onKept)
                        drifts.push_back({"heat_on", heat});
                    EXPECT_EQ(SetupDrifts(setupReply(model, hi, lo, heat, heat), model, *v), drifts)
                        << model.toStdString() << " " << hi << " " << heat;
                }
    }
}

TEST(SetupReplyOK, AcknowledgementRules) {
    const struct {
        const char* model;
        const char* reply;
        bool ok;
    } cases[] = {
        {"Zorvan A2", "09 06 00 01 00 00 00 00", true}, // address and value not compared
        {"Zorvan A2", "01 06 00 01 FF 70 98 1E 00", false},
        {"Zorvan A2", "01 86 00 01 FF 70 98 1E", false},
        {"Zorvan A2", "01 06 00 00 FF 70 98 1E", false},
        {"Zorvan B1", "01 06 00 01 20 00 C1 CA", true}, // reads four registers, writes one
        {"Zorvan C1", "01 10 FF FF 00 04 00 00", true}, // register not compared
        {"Zorvan C1", "01 10 00 01 00 03 00 00", false},
        {"Zorvan C1", "01 06 00 01 20 00 C1 CA", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SetupReplyOK(hex(c.reply), c.model), c.ok) << c.model << ": " << c.reply;
}

} // namespace
