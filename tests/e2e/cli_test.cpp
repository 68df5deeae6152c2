// flamehost-cli as a technician runs it: against flamehost-sim on a pseudo-terminal, each
// command's output and exit status, and the detector's state read back after every write.
#include "support/simprocess.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace fh;

namespace {

// Three detectors of three setup rows; address 9 reports a fault.
const char* const ThreeDetectors = R"({ "detectors": [
  { "address": 5, "model": "Zorvan A2", "serial": 20417 },
  { "address": 7, "model": "Zorvan C1", "serial": 31208, "setup": [17669, 0, 2, 30],
    "version": "C1 FW 3.00",
    "readings": { "sum4": 1520.5, "sum45": 1480, "sum5": 35.25,
                  "bitSum4": 4000, "bitSum45": 4100, "bitSum5": 90,
                  "noise4": 3, "noise45": 4, "noise5": 2,
                  "gainCode": 1, "temperature": -5, "voltage": 24.1 } },
  { "address": 9, "model": "Zorvan B1", "serial": 4711, "fault": 1, "status": "W" }
] })";

const char* const LoneDetector =
    R"({ "detectors": [ { "address": 12, "model": "Zorvan A1", "serial": 256 } ] })";

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    QJsonObject object() const { return QJsonDocument::fromJson(out).object(); }
    QJsonArray array() const { return QJsonDocument::fromJson(out).array(); }
};

CliRun cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(FH_BIN_DIR "/flamehost-cli"), args);
    CliRun r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QStringList words(const char* text) {
    return QString::fromUtf8(text).split(' ', Qt::SkipEmptyParts);
}

QJsonObject json(const char* text) {
    return QJsonDocument::fromJson(text).object();
}

// `changes` laid over `into`, nested objects key by key.
QJsonObject merged(QJsonObject into, const QJsonObject& changes) {
    for (auto it = changes.begin(); it != changes.end(); ++it)
        into[it.key()] = it.value().isObject()
                             ? QJsonValue(merged(into[it.key()].toObject(), it.value().toObject()))
                             : QJsonValue(it.value());
    return into;
}

class Cli : public ::testing::Test {
protected:
    // A fresh simulator per test: one test's writes never meet another's reads.
    void serve(const char* scenario) {
        ASSERT_TRUE(dir_.isValid());
        QFile file(dir_.filePath("bus.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(scenario);
        file.close();
        sim_ = std::make_unique<test::SimProcess>(QStringList{"--scenario", file.fileName()});
        ASSERT_TRUE(sim_->ok()) << "flamehost-sim did not print its device";
    }
    // --json at address, then the command words.
    CliRun at(int address, const QStringList& command) {
        return cli(
            QStringList{"--port", sim_->device(), "--json", "--address", QString::number(address)} +
            command);
    }
    CliRun line(const QStringList& args) {
        return cli(QStringList{"--port", sim_->device()} + args);
    }

    QTemporaryDir dir_;
    std::unique_ptr<test::SimProcess> sim_;
};

TEST_F(Cli, EachCommandReportsWhatTheDetectorHolds) {
    serve(ThreeDetectors);
    const struct {
        int address;
        QStringList command;
        const char* expected;
    } rows[] = {
        // A fault shows "f" whatever the status character is.
        {9, {"status"}, R"({"address":9,"model_code":118,"model":"Zorvan B1","serial":4711,
                           "status":"f","fault":1,"link":"GOOD"})"},
        {5, {"bit"}, R"({"performed":true})"},
        {7, {"version"}, R"({"version":"C1 FW 3.00"})"},
        // Factory 0x2530: code 1, delay code 3, latch and auto BIT; three flags shown.
        {5, {"setup"}, R"({"model":"Zorvan A2","sensitivity":"5","delay":"5","heat_mode":null,
                          "heat_on":null,"flags":{"alarm_latch":true,"auto_bit":true,
                          "alarm_on_bit":false}})"},
        // 0x4505 with heat mode 2 and heat-on 30; all six flags, no delay.
        {7, {"setup"}, R"({"model":"Zorvan C1","sensitivity":"45","delay":null,"heat_mode":"ON",
                          "heat_on":"30","flags":{"alarm_latch":true,"relay_on_warning":false,
                          "auto_bit":true,"alarm_on_bit":false,"relay_on_bit":false,
                          "relay_as_eol":false}})"},
        // 22 registers: the BIT sums are there; gain is 3 minus the code.
        {7, {"readings"}, R"({"sum4":1520.5,"sum45":1480,"sum5":35.25,"bit_sum4":4000,
                             "bit_sum45":4100,"bit_sum5":90,"noise4":3,"noise45":4,"noise5":2,
                             "gain":2,"temperature":-5,"voltage":24.1,"serial":31208,
                             "status":"N","fault":"N"})"},
        // 15 registers: no BIT sums in the reply, so none are reported.
        {5, {"readings"}, R"({"sum4":1537.25,"sum45":1497.5,"sum5":40,"bit_sum4":null,
                             "bit_sum45":null,"bit_sum5":null,"noise4":3,"noise45":4,
                             "noise5":2,"gain":2,"temperature":25,"voltage":24,
                             "serial":20417,"status":"N","fault":"N"})"},
    };
    for (const auto& row : rows) {
        const CliRun r = at(row.address, row.command);
        const std::string what =
            std::to_string(row.address) + " " + row.command.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, 0) << what << r.err.constData();
        EXPECT_EQ(r.object(), json(row.expected)) << what << r.out.constData();
    }
}

TEST_F(Cli, MasterModeGivesTheLoneDetectorsOwnAddress) {
    serve(LoneDetector);
    const CliRun r = at(0, {"status"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.object()["address"].toInt(), 12) << r.out.constData();
}

TEST_F(Cli, SetupSetChangesOnlyTheNamedSettings) {
    serve(ThreeDetectors);
    const struct {
        int address;
        const char* set;
        const char* changed; // laid over the setup read before the write
    } rows[] = {
        {5, "delay=A alarm_latch=off sensitivity=10",
         R"({"delay":"A","sensitivity":"10","flags":{"alarm_latch":false}})"},
        {7, "sensitivity=60 heat_mode=AUTO heat_on=0 relay_as_eol=on",
         R"({"sensitivity":"60","heat_mode":"AUTO","heat_on":"0","flags":{"relay_as_eol":true}})"},
        {9, "sensitivity=40 alarm_on_bit=on",
         R"({"sensitivity":"40","flags":{"alarm_on_bit":true}})"},
    };
    for (const auto& row : rows) {
        const QJsonObject before = at(row.address, {"setup"}).object();
        ASSERT_FALSE(before.isEmpty()) << row.address;
        const CliRun set = at(row.address, words("setup set") + words(row.set));
        EXPECT_EQ(set.exitCode, 0) << row.address << set.err.constData();
        EXPECT_EQ(set.object(), json(R"({"acknowledged":true,"attempts":1})"));
        EXPECT_EQ(at(row.address, {"setup"}).object(), merged(before, json(row.changed)))
            << row.address;
    }
}

TEST_F(Cli, SetupSetRefusesWhatTheModelDoesNotOfferAndWritesNothing) {
    serve(ThreeDetectors);
    const struct {
        int address;
        const char* set;
    } rows[] = {
        {5, "relay_on_warning=on"},      // hidden flag on the A2
        {5, "sensitivity=15"},           // not in the A2's list
        {7, "delay=A"},                  // the C1 has no delay
        {9, "heat_mode=ON"},             // nor heat on the B1
        {5, "delay=5 relay_as_eol=off"}, // one bad pair spoils the whole write
    };
    for (const auto& row : rows) {
        const QJsonObject before = at(row.address, {"setup"}).object();
        const CliRun r = at(row.address, words("setup set") + words(row.set));
        EXPECT_EQ(r.exitCode, 2) << row.set;
        EXPECT_FALSE(r.err.isEmpty());
        EXPECT_EQ(at(row.address, {"setup"}).object(), before) << row.set;
    }
}

TEST_F(Cli, AddressChangeMovesTheDetector) {
    serve(ThreeDetectors);
    const CliRun moved = at(9, {"address", "30"});
    EXPECT_EQ(moved.exitCode, 0) << moved.err.constData();
    EXPECT_EQ(moved.object(),
              json(R"({"address":9,"new_address":30,"acknowledged":true,"attempts":1})"));

    const CliRun there = at(30, {"status"});
    EXPECT_EQ(there.exitCode, 0) << there.err.constData();
    EXPECT_EQ(there.object()["serial"].toInt(), 4711);
    const CliRun gone = at(9, {"--timeout", "100", "status"});
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_EQ(gone.object()["link"].toString(), "BAD");
}

TEST_F(Cli, ScanFindsExactlyTheDetectorsOnTheBus) {
    serve(ThreeDetectors);
    const CliRun r = line(words("--json --timeout 100 scan --from 1 --to 12"));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray expected = QJsonDocument::fromJson(R"([
        {"address":5,"model":"Zorvan A2","serial":20417,"status":"N"},
        {"address":7,"model":"Zorvan C1","serial":31208,"status":"N"},
        {"address":9,"model":"Zorvan B1","serial":4711,"status":"f"}])")
                                    .array();
    EXPECT_EQ(r.array(), expected) << r.out.constData();

    const CliRun empty = line(words("--json --timeout 50 scan --from 20 --to 22"));
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.array(), QJsonArray());
}

// One detector per way a line can lie; nothing it sends may pass for an answer.
const char* const HostileLine = R"({ "detectors": [
  { "address": 20, "model": "Zorvan A2", "serial": 1, "faults": { "wrongCheck": true } },
  { "address": 21, "model": "Zorvan A2", "serial": 2, "faults": { "replyAddress": 22 } },
  { "address": 23, "model": "Zorvan A2", "serial": 3, "faults": { "echo": true, "shortReply": 0 } },
  { "address": 24, "model": "Zorvan A2", "serial": 4,
    "faults": { "garbage": { "bytes": 5, "delayUs": 0 } } },
  { "address": 25, "model": "Zorvan A2", "serial": 5, "faults": { "shortReply": 9 } },
  { "address": 26, "model": "Zorvan B1", "serial": 6, "version": "FW\u001b[2J\u009b1m",
    "inputRegisters": { "5": 65472, "6": 0 }, "readings": { "sum5": "inf", "bitSum4": "-inf" } },
  { "address": 27, "model": "Zorvan C2", "serial": 7, "setup": [17669, 0, 2, 7] },
  { "address": 28, "model": "Zorvan A2", "serial": 8, "faults": { "echo": true } }
] })";

TEST_F(Cli, RepliesThatFailTheCheckAreNeverTakenForAnswers) {
    serve(HostileLine);
    const struct {
        int address;
        const char* command;
        int exitCode;
        const char* says; // on stderr, or in the JSON output when exit 0
    } rows[] = {
        {20, "status", 1, "bad check bytes"},
        {20, "--accept-bad-check status", 0, R"("accepted_bad_check":1)"},
        {20, "--accept-bad-check address 40", 0, R"("acknowledged":true)"},
        {21, "status", 1, "another address"},
        {23, "bit", 1, "echo"},
        {23, "address 40", 1, "echo"},
        {24, "status", 1, "bad check bytes"}, // a 200 reply ends with its check bytes
        {24, "address 41", 0, R"("trailing_bytes":10)"},
        {25, "version", 1, "wrong length"},
        {26, "readings", 0, R"("sum4":"NaN")"},
        {26, "readings", 0, R"("sum5":"inf")"},
        {26, "readings", 0, R"("bit_sum4":"-inf")"},
        {26, "version", 0, R"(\u001b[2J\u009b1m)"},
        {27, "setup set alarm_latch=on", 2, "heat_on reads 7"},
        {27, "setup set alarm_latch=on heat_on=10", 0, R"("acknowledged":true)"},
        {28, "status", 1, "echo"},
    };
    for (const auto& row : rows) {
        const CliRun r = at(row.address, words(row.command));
        const std::string what = std::to_string(row.address) + " " + row.command;
        EXPECT_EQ(r.exitCode, row.exitCode) << what << r.err.constData();
        QByteArray said = QByteArray(row.exitCode == 0 ? r.out : r.err).simplified();
        EXPECT_TRUE(said.replace(" ", "").contains(QByteArray(row.says).replace(" ", "")))
            << what << ": " << said.constData();
    }
    // The moved detectors answer at their new addresses; the others did not move.
    EXPECT_EQ(at(40, {"--accept-bad-check", "status"}).exitCode, 0);
    EXPECT_EQ(at(41, {"status"}).exitCode, 1); // its junk spoils every 200 reply
    EXPECT_EQ(at(41, {"setup"}).exitCode, 1);
    // Text output shows control characters from the line as escapes.
    const CliRun text = line(words("--address 26 version"));
    EXPECT_EQ(text.out, "version:  FW\\x1b[2J\\x9b1m\n");
}

TEST_F(Cli, MasterModeOnABusWritesNothing) {
    sim_ = std::make_unique<test::SimProcess>(QStringList{"--trace"});
    ASSERT_TRUE(sim_->ok());
    for (const char* command : {"address 12", "setup set alarm_latch=on"}) {
        const CliRun r = at(0, words(command));
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.err.contains("More than one detector answers: master mode needs a "
                                   "detector alone on the line."))
            << r.err.constData();
    }
    EXPECT_EQ(at(0, {"status"}).exitCode, 1);
    for (const QString& request : sim_->requests())
        EXPECT_FALSE(request.startsWith("00 06") || request.startsWith("00 10"))
            << request.toStdString();
    // Every detector still answers at its own address.
    const CliRun scan = line(words("--json --timeout 100 scan --from 1 --to 12"));
    QList<int> found;
    for (const QJsonValue& v : scan.array())
        found << v.toObject()["address"].toInt();
    EXPECT_EQ(found, (QList<int>{1, 2, 3, 4}));
}

TEST_F(Cli, SilenceExitsWith1) {
    serve(ThreeDetectors);
    for (const char* command :
         {"status", "bit", "version", "setup", "readings", "address 40", "setup set delay=A"}) {
        const CliRun r = line(words("--address 200 --timeout 100") + words(command));
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.err.contains("no answer")) << r.err.constData();
    }
}

// The parser's cases are in tests/apps; here only that a refusal leaves with 2 and nothing on
// stdout, and the port errors that only an open can find.
TEST_F(Cli, UsageAndPortErrorsExitWith2) {
    serve(ThreeDetectors);
    for (const auto& [args, says] : {
             std::pair{"--port PORT --address 5 address -1", "not \"-1\""},
             {"--port /nonexistent/ttyFLAME status", "/nonexistent/ttyFLAME"},
             {"--port /dev/null status", "not a serial port"},
             {"--port PORT --line-mode kernel status", "\"kernel\""}, // a pty cannot
         }) {
        const CliRun r = cli(words(args).replaceInStrings("PORT", sim_->device()));
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_TRUE(r.err.contains(says)) << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << args;
    }
}

TEST(HostUsage, MistakeExitsWith2BeforeAnyWindow) {
    QProcess p;
    p.start(QStringLiteral(FH_BIN_DIR "/flamehost"), {"--simulate", "--port", "/dev/ttyS0"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("not both"));
}

TEST(CliTcp, TalksToADeviceServerAndSaysWhenTheEchoIsMissing) {
    test::SimProcess sim({"--tcp", "0"});
    ASSERT_TRUE(sim.device().startsWith("tcp://127.0.0.1:")) << qPrintable(sim.device());
    CliRun r = cli({"--port", sim.device(), "--address", "2", "--json", "status"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.object()["serial"].toInt(), 31208);

    r = cli({"--port", sim.device(), "--address", "2", "--echo", "status"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("expected echo not heard")) << r.err.constData();

    sim.stop();
    r = cli({"--port", sim.device(), "status"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("refused")) << r.err.constData();
}

TEST(CliSimulate, TalksToTheBuiltInBus) {
    const CliRun r = cli({"--simulate", "--address", "2", "--json", "status"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.object()["serial"].toInt(), 31208);
}

} // namespace
