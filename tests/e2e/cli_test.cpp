// flamehost-cli as a technician runs it: against flamehost-sim on a pseudo-terminal, each
// command's output and exit status, and the detector's state read back after every write.
#include "common/bytes.h"
#include "common/waitfor.h"
#include "support/simprocess.h"

#include <gtest/gtest.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

using namespace fh;

namespace {

// Three detectors of three setup rows; address 9 reports a fault.
const char* const ThreeDetectors = R"({ "detectors": [
  { "address": 5, "model": "Zorvan A2", "serial": 20417 },
  { "address": 7, "model": "Zorvan C1", "serial": 31208, "setup": [17669, 0, 2, 30],
    "version": "C1 FW 3.00", "readings": { "sum4": 1520.5, "sum45": 1480, "sum5": 35.25,
      "bitSum4": 4000, "bitSum45": 4100, "bitSum5": 90, "noise4": 3, "noise45": 4, "noise5": 2,
      "gainCode": 1, "temperature": -5, "voltage": 24.1 } },
  { "address": 9, "model": "Zorvan B1", "serial": 4711, "fault": 1, "status": "W" }
] })";

struct CliRun {
    int exitCode = -1;
    QByteArray out, err;
    QJsonDocument doc() const { return QJsonDocument::fromJson(out); }
    // Whether stdout after exit 0, else stderr, holds `text`, however it is spaced.
    bool says(QByteArray text) const {
        const QByteArray said = (exitCode == 0 ? out : err).simplified().replace(" ", "");
        return said.contains(text.replace(" ", ""));
    }
};

// A run that does not end in time is killed with its QProcess and leaves exit code -1.
CliRun run(const QStringList& args, const char* program = "flamehost-cli") {
    QProcess p;
    p.start(QStringLiteral(FH_BIN_DIR "/") + program, args);
    if (!p.waitForStarted(5000) || !p.waitForFinished(30000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

const auto words = [](const char* text) { return QString(text).split(' ', Qt::SkipEmptyParts); };
const auto json = [](const char* text) { return QJsonDocument::fromJson(text); };

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
        const QString file = dir_.filePath("bus.json");
        ASSERT_TRUE(test::writeAll(file, scenario));
        sim_ = std::make_unique<test::SimProcess>(QStringList{"--scenario", file});
        ASSERT_TRUE(sim_->ok()) << "flamehost-sim did not print its device";
    }
    CliRun line(const QStringList& args) {
        return run(QStringList{"--port", sim_->device()} + args);
    }
    // --json at address, then the command words.
    CliRun at(int address, const QStringList& command) {
        return line(QStringList{"--json", "--address", QString::number(address)} + command);
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
        EXPECT_EQ(r.exitCode, 0) << row.address << r.err.constData();
        EXPECT_EQ(r.doc(), json(row.expected)) << row.address << r.out.constData();
    }
}

TEST_F(Cli, SetupSetChangesOnlyTheNamedSettingsTheModelOffers) {
    serve(ThreeDetectors);
    const struct {
        int address;
        const char* set;
        const char* changed; // laid over the setup read before; nullptr: refused, none changes
    } rows[] = {
        {5, "delay=A alarm_latch=off sensitivity=10",
         R"({"delay":"A","sensitivity":"10","flags":{"alarm_latch":false}})"},
        {7, "sensitivity=60 heat_mode=AUTO heat_on=0 relay_as_eol=on",
         R"({"sensitivity":"60","heat_mode":"AUTO","heat_on":"0","flags":{"relay_as_eol":true}})"},
        {9, "sensitivity=40 alarm_on_bit=on",
         R"({"sensitivity":"40","flags":{"alarm_on_bit":true}})"},
        {5, "relay_on_warning=on", nullptr},                 // hidden flag on the A2
        {5, "sensitivity=15", nullptr},                      // not in the A2's list
        {7, "delay=A", nullptr},                             // the C1 has no delay
        {9, "heat_mode=ON", nullptr},                        // nor heat on the B1
        {5, "delay=5 relay_as_eol=off", nullptr},            // one bad pair spoils the whole write
        {5, "sensitivity=7.50", R"({"sensitivity":"7.5"})"}, // a list value, written otherwise
        {5, "sensitivity=99", nullptr},                      // no list value
    };
    for (const auto& row : rows) {
        const QJsonObject before = at(row.address, {"setup"}).doc().object();
        ASSERT_FALSE(before.isEmpty()) << row.address;
        const CliRun set = at(row.address, words("setup set") + words(row.set));
        EXPECT_EQ(set.exitCode, row.changed ? 0 : 2) << row.set << set.err.constData();
        EXPECT_EQ(set.doc(),
                  json(row.changed ? R"({"acknowledged":true,"attempts":1,"verified":true})" : ""));
        EXPECT_TRUE(!row.changed || set.err.contains("Setup written and verified")) << row.set;
        EXPECT_EQ(at(row.address, {"setup"}).doc().object(),
                  row.changed ? merged(before, json(row.changed).object()) : before)
            << row.set;
    }
}

TEST_F(Cli, ScanFindsExactlyTheDetectorsOnTheBusAndAnAddressChangeMovesOne) {
    serve(ThreeDetectors);
    const CliRun r = line(words("--json --timeout 100 scan --from 1 --to 12"));
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.doc(), json(R"([
        {"address":5,"model":"Zorvan A2","serial":20417,"status":"N"},
        {"address":7,"model":"Zorvan C1","serial":31208,"status":"N"},
        {"address":9,"model":"Zorvan B1","serial":4711,"status":"f"}])"))
        << r.out.constData();
    const CliRun empty = line(words("--json --timeout 50 scan --from 20 --to 22"));
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.doc(), json("[]"));

    // An address in use is refused before anything is written; a free one is taken.
    const CliRun taken = at(9, {"address", "5"});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_TRUE(taken.out.isEmpty());
    EXPECT_TRUE(taken.err.contains("Address 5 is already used by Zorvan A2, serial 20417"))
        << taken.err.constData();
    const CliRun moved = at(9, {"address", "30"});
    // The silence of the new address, which the change asks for first, is counted too.
    EXPECT_EQ(moved.doc(), json(R"({"address":9,"new_address":30,"acknowledged":true,"attempts":1,
                                    "verified":true,"reply_faults":{"no_reply":2}})"));
    EXPECT_TRUE(moved.err.contains("Detector 4711 now answers at address 30"));
    EXPECT_EQ(at(30, {"status"}).doc()["serial"].toInt(), 4711);
    EXPECT_EQ(at(9, {"--timeout", "100", "status"}).doc()["link"].toString(), "BAD");
}

// The reply check's verdicts are proven in tests/detector; here the CLI refuses with exit 1 and
// names the fault, and what only the CLI does with what a line sends.
const char* const HostileLine = R"({ "detectors": [
  { "address": 20, "model": "Zorvan A2", "serial": 1, "faults": { "wrongCheck": true } },
  { "address": 21, "model": "Zorvan A2", "serial": 2, "faults": { "replyAddress": 22 } },
  { "address": 23, "model": "Zorvan A2", "serial": 3, "faults": { "echo": true, "shortReply": 0 } },
  { "address": 24, "model": "Zorvan A2", "serial": 4,
    "faults": { "garbage": { "bytes": 5, "delayUs": 0 } } },
  { "address": 26, "model": "Zorvan B1", "serial": 6, "version": "FW\u001b[2J\u009b1m",
    "inputRegisters": { "4": 7, "5": 65472, "6": 0 },
    "readings": { "sum5": "inf", "bitSum4": "-inf" } },
  { "address": 27, "model": "Zorvan C2", "serial": 7, "setup": [17669, 0, 2, 7] }
] })";

TEST_F(Cli, RepliesThatFailTheCheckAreNeverTakenForAnswers) {
    serve(HostileLine);
    const struct {
        int address;
        const char* command;
        int exitCode;
        const char* says;
    } rows[] = {
        {20, "status", 1, "bad check bytes"},
        {20, "--accept-bad-check status", 0, R"("accepted_bad_check":1)"},
        {20, "--accept-bad-check address 40", 0, R"("acknowledged":true)"},
        {40, "--accept-bad-check status", 0, R"("serial":1)"}, // moved, and answers there
        {23, "address 40", 1, "echo"},
        // Only the echo comes back, a bare copy of the BIT: the status poll before it fails.
        {23, "bit", 1, "echo"},
        {24, "address 41", 1, "from address 24 could not be read (bad check bytes)"},
        {24, "--accept-bad-check address 41", 0, R"("trailing_bytes":5)"},
        {26, "readings", 0, R"("sum4":"NaN")"},
        {26, "readings", 0, R"("sum5":"inf")"},
        {26, "readings", 0, R"("bit_sum4":"-inf")"},
        {26, "readings", 0, R"("gain":null)"}, // code 7: no gain, and no number made up
        {26, "version", 0, R"(\u001b[2J\u009b1m)"},
        {27, "setup set alarm_latch=on", 2, "heat_on reads 7"},
        {27, "setup set alarm_latch=on heat_on=10", 0, R"("acknowledged":true)"},
    };
    for (const auto& row : rows) {
        const CliRun r = at(row.address, words(row.command));
        EXPECT_EQ(r.exitCode, row.exitCode) << row.command << r.err.constData();
        EXPECT_TRUE(r.says(row.says))
            << row.command << ": " << r.out.constData() << r.err.constData();
    }
    // Text output shows control characters from the line as escapes.
    EXPECT_EQ(line(words("--address 26 version")).out, "version:  FW\\x1b[2J\\x9b1m\n");
    EXPECT_TRUE(line(words("--address 26 readings")).out.contains("unknown (code 7)"));
}

// A detector whose replies carry another address is not listed there, nor where it answers.
TEST_F(Cli, ScanNamesARepliesAddressInsteadOfListingADetector) {
    serve(HostileLine);
    const CliRun r = line(words("--json --timeout 100 scan --from 21 --to 22"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.doc(), json(R"([{"address":21,"model":null,"serial":null,"status":null,
                                 "problem":"reply carried address 22"}])"))
        << r.out.constData();
    EXPECT_EQ(line(words("--timeout 100 scan --from 21 --to 22")).out,
              "address  model               serial  status\n"
              "     21  (reply carried address 22)\n");
}

TEST_F(Cli, MasterModeTakesTheLoneDetectorsAddressButOnABusWritesNothing) {
    serve(R"({ "detectors": [ { "address": 12, "model": "Zorvan A1", "serial": 256 } ] })");
    EXPECT_EQ(at(0, {"status"}).doc()["address"].toInt(), 12);
    // A lone detector's faulty reply is named as such, not taken for several answering.
    serve(R"({ "detectors": [ { "address": 12, "model": "Zorvan A1", "serial": 256,
                                "faults": { "shortReply": 9 } } ] })");
    const CliRun lone = at(0, words("address 40"));
    EXPECT_EQ(lone.exitCode, 1);
    EXPECT_TRUE(lone.says("wrong length") && !lone.says("More than one")) << lone.err.constData();

    sim_ = std::make_unique<test::SimProcess>(QStringList{"--trace"});
    ASSERT_TRUE(sim_->ok());
    for (const char* command : {"address 12", "setup set alarm_latch=on"}) {
        const CliRun r = at(0, words(command));
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_TRUE(r.err.contains("More than one detector answers")) << r.err.constData();
    }
    EXPECT_EQ(at(0, {"status"}).exitCode, 1);
    // No write of either kind went out, to address 0 or to any detector that answered.
    const QStringList requests = sim_->requests();
    EXPECT_FALSE(requests.isEmpty());
    for (const QString& request : requests)
        EXPECT_TRUE(request.mid(3, 2) != "06" && request.mid(3, 2) != "10") << qPrintable(request);
}

// A device server that takes the connection and closes it at once: the line is named.
TEST(CliNetworkLine, ALineThatClosesIsNamed) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QObject::connect(&server, &QTcpServer::newConnection,
                     [&] { server.nextPendingConnection()->close(); });
    QProcess p; // the server acts only while events run: the run is waited for here
    p.start(FH_BIN_DIR "/flamehost-cli",
            {"--port", QString("tcp://127.0.0.1:%1").arg(server.serverPort()), "status"});
    ASSERT_TRUE(fh::test::WaitFor([&] { return p.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("flamehost-cli: tcp://127.0.0.1:"));
}

// Silence on each command's first exchange exits with 1 (setup, readings and setup set start
// with the status poll). The parsers are in tests/apps; here a refusal leaves with 2 before any
// window, and the port errors only an open finds. PORT is a pty, TCP a server, DEAD a stopped one.
TEST_F(Cli, LinesAnswerOrExitWith1ForSilenceAnd2ForUsageAndPortErrors) {
    serve(ThreeDetectors);
    test::SimProcess tcp({"--tcp", "0"}), dead({"--tcp", "0"});
    ASSERT_TRUE(tcp.device().startsWith("tcp://127.0.0.1:")) << qPrintable(tcp.device());
    dead.stop();
    const struct {
        const char* args;
        int exitCode;
        const char* says;
        const char* program = "flamehost-cli";
    } rows[] = {
        {"--simulate --address 2 --json status", 0, R"("serial":31208)"},
        {"--port TCP --address 2 --json status", 0, R"("serial":31208)"},
        {"--port DEAD status", 2, "refused"},
        {"--port PORT --address 200 --timeout 100 status", 1, "no answer"},
        {"--port PORT --address 200 --timeout 100 bit", 1, "no answer"},
        {"--port PORT --address 200 --timeout 100 version", 1, "no answer"},
        {"--port PORT --address 200 --timeout 100 address 40", 1, "No answer"},
        {"--port PORT --address 5 --echo status", 1, "expected echo not heard"},
        {"--port PORT --address 5 address -1", 2, "not \"-1\""},
        {"--port /nonexistent/ttyFLAME status", 2, "/nonexistent/ttyFLAME"},
        {"--port /dev/null status", 2, "not a serial port"},
        {"--port PORT --line-mode kernel status", 2, "\"kernel\""}, // a pty cannot
        {"--simulate --port PORT", 2, "not both", "flamehost"},
    };
    for (const auto& row : rows) {
        QStringList args = words(row.args).replaceInStrings("PORT", sim_->device());
        args.replaceInStrings("TCP", tcp.device()).replaceInStrings("DEAD", dead.device());
        const CliRun r = run(args, row.program);
        EXPECT_EQ(r.exitCode, row.exitCode) << row.args << r.err.constData();
        EXPECT_TRUE(r.says(row.says)) << row.args << ": " << r.out.constData() << r.err.constData();
        EXPECT_TRUE(r.exitCode != 2 || r.out.isEmpty()) << row.args;
    }
}

} // namespace
