// The visit commands of flamehost-cli against flamehost-sim: a survey of a bus with trouble on
// it, its record and report, the files compared, and setups saved and written back.
#include "common/bytes.h"
#include "support/simprocess.h"
#include "visit/recordjson.h"

#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace fh;

namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out, err;
    QJsonObject json() const { return QJsonDocument::fromJson(out).object(); }
};

class Visit : public ::testing::Test {
protected:
    void serve(const char* scenario) {
        ASSERT_TRUE(test::writeAll(path("bus.json"), scenario));
        sim_ = std::make_unique<test::SimProcess>(
            QStringList{"--scenario", path("bus.json"), "--trace"});
        ASSERT_TRUE(sim_->ok()) << "flamehost-sim did not print its device";
    }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    // The program with these arguments; FILE:x is a file in the test's folder, PORT the line, ~ a
    // blank.
    CliRun cli(const QString& args, const char* program = "flamehost-cli") const {
        QStringList list;
        for (QString a : args.split(' ', Qt::SkipEmptyParts))
            list << (a.startsWith("FILE:") ? path(a.mid(5).toLatin1())
                     : a == "PORT"         ? sim_->device()
                                           : a.replace('~', ' '));
        QProcess p;
        p.start(QStringLiteral(FH_BIN_DIR "/") + program, list);
        if (!p.waitForStarted(5000) || !p.waitForFinished(60000))
            return {};
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    QString pdfText(const char* name) const {
        QProcess p;
        p.start("pdftotext", {"-raw", path(name), "-"});
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput()).simplified();
    }
    // Writes to the detector at address ("06" or "10" requests) heard so far.
    int writesTo(int address) {
        const QString a = QStringLiteral("%1 ").arg(address, 2, 16, QChar('0'));
        return int(sim_->requests().filter(QRegularExpression("^" + a + "(06|10) ")).size());
    }

    QTemporaryDir dir_;
    std::unique_ptr<test::SimProcess> sim_;
};

// A faulted detector, one that answers garbled and one that stops answering halfway (it hears
// the status and version requests, then nothing).
const char* const TroubledBus = R"({ "detectors": [
  { "address": 3, "model": "Zorvan C1", "serial": 31208, "setup": [17664, 0, 2, 30],
    "version": "C1 FW 3.00" },
  { "address": 5, "model": "Zorvan A2", "serial": 20417, "fault": 1, "status": "W" },
  { "address": 8, "model": "Zorvan A2", "serial": 8, "faults": { "wrongCheck": true } },
  { "address": 12, "model": "Zorvan B1", "serial": 4711, "faults": { "stopAfter": 2 } }
] })";

TEST_F(Visit, SurveyRecordsATroubledBusAndTheFilesAreReportedAndCompared) {
    serve(TroubledBus);
    const CliRun survey =
        cli("--port PORT --timeout 200 survey -o FILE:site.json --addresses 3,5,8,12 "
            "--site Hall~2 --technician Kim --pdf FILE:site.pdf");
    EXPECT_EQ(survey.exitCode, 1) << survey.err.constData();
    EXPECT_TRUE(survey.out.endsWith(path("site.json").toUtf8() + "\n")) << survey.out.constData();
    EXPECT_TRUE(survey.err.contains("not read fully: address 8 (status: bad check bytes;"))
        << survey.err.constData();

    QString error;
    const auto record = visit::ReadRecordFile(path("site.json"), &error);
    ASSERT_TRUE(record) << qPrintable(error);
    EXPECT_EQ(record->visit.site, "Hall 2");
    EXPECT_EQ(record->visit.line.port, sim_->device());
    EXPECT_TRUE(record->visit.complete);
    ASSERT_EQ(record->detectors.size(), 4u);
    const visit::DetectorEntry &c1 = record->detectors[0], &a2 = record->detectors[1],
                               &garbled = record->detectors[2], &halfway = record->detectors[3];
    EXPECT_TRUE(c1.fullyRead());
    EXPECT_EQ(c1.firmware, "C1 FW 3.00");
    EXPECT_EQ(c1.setup->settings.heatOn, "30");
    EXPECT_EQ(c1.readings->gain, 2);
    EXPECT_TRUE(a2.fullyRead());
    EXPECT_EQ(a2.identity->fault, 1);
    EXPECT_EQ(a2.identity->statusChar, 'W');
    EXPECT_FALSE(garbled.identity);
    EXPECT_EQ(garbled.replyFaults.at("bad_check"), 2);
    EXPECT_EQ(halfway.firmware, "Zorvan B1 FW 2.07");
    EXPECT_EQ(halfway.unread,
              (std::vector<visit::Unread>{{"setup", "no answer"},
                                          {"readings", "the detector stopped answering"}}));

    const QString report = pdfText("site.pdf");
    for (const char* says :
         {"Site Hall 2", "! 5 Zorvan A2 20417", "fault 1; status W", "! 8 - - - - not run",
          "Address 12: Zorvan B1, serial 4711", "Hall 2 - visit of", "Page 5 of 5"})
        EXPECT_TRUE(report.contains(says)) << says;

    // From the files alone: the report again with its table as CSV, and comparisons.
    const CliRun again = cli("report FILE:site.json -o FILE:again.pdf --csv FILE:site.csv");
    EXPECT_EQ(again.exitCode, 0) << again.err.constData();
    EXPECT_TRUE(test::readAll(path("site.csv")).contains("\r\n5,Zorvan A2,20417,"));
    EXPECT_TRUE(pdfText("again.pdf").contains("Page 5 of 5"));
    QByteArray moved = test::readAll(path("site.json"));
    moved.replace("\"address\": 3,", "\"address\": 30,");
    ASSERT_TRUE(test::writeAll(path("moved.json"), moved));
    ASSERT_TRUE(test::writeAll(path("cut.json"), moved.left(300)));
    const struct {
        const char* args;
        int exitCode;
        const char* says;
    } diffs[] = {
        {"survey diff FILE:site.json FILE:site.json", 0, "no differences"},
        {"survey diff FILE:site.json FILE:moved.json", 1,
         "moved: Zorvan C1 serial 31208 from address 3 to 30"},
        {"survey diff FILE:site.json FILE:cut.json", 2, "cut.json: not JSON"},
        {"--port PORT survey diff FILE:site.json FILE:site.json", 2, "works on files alone"},
        // Refused before the survey, not after it.
        {"--port PORT survey -o FILE:gone/site.json", 2, "gone/site.json: cannot write"},
    };
    for (const auto& d : diffs) {
        const CliRun r = cli(d.args);
        EXPECT_EQ(r.exitCode, d.exitCode) << d.args;
        EXPECT_TRUE((r.out + r.err).contains(d.says))
            << d.args << ": " << r.out.constData() << r.err.constData();
    }
}

TEST_F(Visit, SetupsAreWrittenBackOnlyIntoTheSameModelAndReadBack) {
    serve(R"({ "detectors": [
      { "address": 3, "model": "Zorvan C1", "serial": 31208, "setup": [17664, 0, 2, 30] },
      { "address": 5, "model": "Zorvan A2", "serial": 20417 } ] })");
    ASSERT_EQ(cli("--port PORT --address 3 setup save FILE:c1.json").exitCode, 0);
    ASSERT_EQ(cli("--port PORT --timeout 200 survey -o FILE:site.json --addresses 5").exitCode, 0);
    // Each detector is changed after it was saved, as a replacement unit would be.
    ASSERT_EQ(cli("--port PORT --address 3 setup set heat_on=10").exitCode, 0);
    ASSERT_EQ(cli("--port PORT --address 5 setup set delay=A").exitCode, 0);
    const int writesBefore = writesTo(3) + writesTo(5);
    const auto setting = [this](int address, const char* key) {
        return cli(QStringLiteral("--port PORT --json --address %1 setup").arg(address))
            .json()[key]
            .toString();
    };

    const struct {
        const char* args;
        int exitCode;
        const char* says; // in the output, or in the message when it refuses
        int writes;
        int address;
        const char* key;
        const char* holds; // what the detector holds afterwards
    } cases[] = {
        {"--address 3 --json setup load FILE:c1.json --dry-run", 0,
         R"("changes":[{"new":"30","old":"10","setting":"heat_on"}])", 0, 3, "heat_on", "10"},
        {"--address 5 setup load FILE:c1.json", 2,
         "the setup is for a Zorvan C1 (model code 358), but the detector at address 5 is a "
         "Zorvan A2 (model code 117); nothing was written",
         0, 5, "delay", "A"},
        {"--address 3 --json setup load FILE:c1.json", 0, R"("verified":true)", 1, 3, "heat_on",
         "30"},
        {"--address 7 survey restore FILE:site.json", 2, "holds no detector at address 7", 0, 5,
         "delay", "A"},
        {"--address 5 --json survey restore FILE:site.json", 0, R"("verified":true)", 1, 5, "delay",
         "5"},
    };
    int writes = writesBefore;
    for (const auto& c : cases) {
        const CliRun r = cli(QStringLiteral("--port PORT ") + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << r.err.constData();
        const QByteArray said =
            QJsonDocument(r.json()).toJson(QJsonDocument::Compact) + r.out + r.err;
        EXPECT_TRUE(said.contains(c.says)) << c.args << ": " << said.constData();
        writes += c.writes;
        EXPECT_EQ(writesTo(3) + writesTo(5), writes) << c.args;
        EXPECT_EQ(setting(c.address, c.key), c.holds) << c.args;
    }
}

} // namespace
