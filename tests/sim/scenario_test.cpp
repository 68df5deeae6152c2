// Bus descriptions from JSON: a full good file, and bad files refused with a useful message.
#include "sim/scenario.h"
#include "sim/simhelpers.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <vector>

using namespace fh;
using namespace fh::test;

TEST(SimScenario, ReadsDetectorsRegistersAndFaults) {
    const QByteArray json = R"({
      "detectors": [
        { "address": 5, "model": "Zorvan C2", "serial": 777, "fault": 1, "status": "W",
          "latencyUs": 20000, "setup": [4660, 0, 2, 30], "version": "C2 test",
          "readings": { "sum4": 1.5, "sum5": "-inf", "bitSum4": "NaN", "temperature": -5,
                        "voltage": 24.1, "noise45": 9, "gainCode": 2 },
          "inputRegisters": { "15": 4242 },
          "faults": { "ignoreNext": 3, "answerEvery": 2, "stopAfter": 40, "wrongCheck": true,
                      "shortReply": 9, "lateFirstByteUs": 590000,
                      "exception": { "function": 131, "code": 2 },
                      "split": { "after": 4, "gapUs": 50000 },
                      "garbage": { "bytes": 7, "delayUs": 30000 },
                      "replyAddress": 9, "echo": true } },
        { "address": 6, "model": 113, "serial": 1, "inputCount": 22,
          "statusCycle": "NA", "statusStepMs": 1000, "statusCycleRepeats": false }
      ]
    })";
    QString error;
    const auto bus = parseScenario(json, &error);
    ASSERT_NE(bus, nullptr) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    ASSERT_EQ(bus->count(), 2);

    const auto c2 = bus->detector(5);
    ASSERT_NE(c2, nullptr);
    EXPECT_EQ(c2->version(), "C2 test");
    // Model, serial, fault flag, status, latency, setup words 1 and 4, input count; then the
    // readings: sum4 (two words), temperature, voltage, noise, gain code, a raw register.
    EXPECT_EQ((std::vector<qint64>{
                  c2->modelCode(), c2->serial(), c2->faultFlag(), c2->statusChar(), c2->latencyUs(),
                  c2->holding(1), c2->holding(4), c2->inputCount(), c2->input(5), c2->input(6),
                  c2->input(11), c2->input(12), c2->input(13) & 0xFF, c2->input(4), c2->input(15)}),
              (std::vector<qint64>{614, 777, 1, 'W', 20000, 4660, 30, 22, 0x3FC0, 0, 0xFB, 241, 9,
                                   2, 4242}));
    // ignoreNext, answerEvery, silent, stopAfter, exception function and code, wrongCheck,
    // shortReply, lateFirstByteUs, split after and gap, garbage bytes and delay, replyAddress,
    // echo.
    EXPECT_EQ(c2->faults(),
              (SimFaults{3, 2, false, 40, 0x83, 2, true, 9, 590000, 4, 50000, 7, 30000, 9, true}));
    EXPECT_EQ(c2->input(9), 0xFF80); // -inf, big-endian single
    EXPECT_EQ(c2->input(16) & 0x7F80, 0x7F80);
    EXPECT_NE((c2->input(16) & 0x007F) | c2->input(17), 0); // NaN, not an infinity

    // The second detector by model code, with a status cycle that starts at its first request
    // and stays at its last character.
    const auto a1 = bus->detector(6);
    ASSERT_NE(a1, nullptr);
    const auto status = [&](qint64 t) {
        return joined(a1->respond(hex("06 C8 07 00 20 D1 5B 04 05 03 0C FD"), t)).at(10);
    };
    EXPECT_EQ((std::vector<qint64>{a1->modelCode(), a1->inputCount(), status(0), status(1'000'000),
                                   status(2'000'000)}),
              (std::vector<qint64>{113, 22, 'N', 'A', 'A'}));
}

// One detector with the given members, and one with the usual members and some more.
#define ONE(x) "{\"detectors\":[{" x "}]}"
#define D(x) ONE("\"address\":1,\"model\":117,\"serial\":1" x)

TEST(SimScenario, BadFilesAreRefusedWithAMessage) {
    const struct {
        const char* json;
        const char* message; // part of the error text
    } cases[] = {
        {"{\"detectors\": [", "not valid JSON"},
        {"[]", "top level must be an object"},
        {"{\"detectors\":[]}", "at least one detector"},
        {"{\"detector\":[]}", "unknown key \"detector\""},
        {"{\"detectors\":[5]}", "detector 1: must be an object"},
        {ONE("\"address\":0,\"model\":117,\"serial\":1"),
         "detector 1: \"address\" must be a whole number from 1 to 247"},
        {ONE("\"address\":1,\"serial\":1"), "\"model\" must be a model name such as"},
        {ONE("\"address\":1,\"model\":\"Zorvan Z9\",\"serial\":1"), "unknown model \"Zorvan Z9\""},
        {ONE("\"address\":1,\"model\":117,\"serial\":70000"),
         "\"serial\" must be a whole number from 0 to 65535"},
        {D(",\"serail\":2"), "detector 1 (address 1): unknown key \"serail\""},
        {D(",\"status\":\"NW\""), "\"status\" must be a text of 1"},
        {D(",\"statusStepMs\":5"), "needs \"statusCycle\""},
        {D(",\"statusCycle\":\"NW\""), "\"statusStepMs\""},
        {D(",\"statusCycleRepeats\":false"), "\"statusCycleRepeats\" needs \"statusCycle\""},
        {D(",\"setup\":[1,2,3,4,5]"), "1 to 4 register values"},
        {D(",\"setup\":[-1]"), "\"setup\" item 1"},
        {D(",\"inputRegisters\":{\"22\":1}"), "register \"22\" is not one of 0 to 21"},
        {D(",\"readings\":{\"temperature\":-129}"),
         "readings: \"temperature\" must be a whole number from -128 to 127"},
        {D(",\"readings\":{\"sum6\":1}"), "unknown key \"sum6\""},
        {D(",\"faults\":true"), "\"faults\" must be an object"},
        {D(",\"faults\":{\"silent\":1}"), "faults: \"silent\" must be true or false"},
        {D(",\"faults\":{\"garbage\":{\"bytes\":1.5,\"delayUs\":0}}"),
         "garbage: \"bytes\" must be a whole number from 1 to 4096"},
        {D("},{\"address\":1,\"model\":118,\"serial\":2"),
         "detector 2: address 1 is already taken"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_EQ(parseScenario(c.json, &error), nullptr) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.message))) << error.toStdString();
    }
}

TEST(SimScenario, FileErrorsNameTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    const QString missing = dir.filePath("missing.json");
    EXPECT_EQ(loadScenario(missing, &error), nullptr);
    EXPECT_TRUE(error.startsWith(missing + ": cannot read")) << error.toStdString();

    const QString bad = dir.filePath("bad.json");
    ASSERT_TRUE(writeAll(bad, "{\"detectors\": 3}"));
    EXPECT_EQ(loadScenario(bad, &error), nullptr);
    EXPECT_TRUE(error.startsWith(bad + ": top level")) << error.toStdString();
}
