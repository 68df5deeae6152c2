// The site record's file: what is written reads back the same; what is not ours, newer or
// wrong is refused naming the field; files are replaced whole or not at all.
#include "common/bytes.h"
#include "samples.h"
#include "visit/addresslist.h"
#include "visit/atomicfile.h"
#include "visit/recordjson.h"
#include "visit/setupfile.h"
#include "visit/table.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

using namespace fh;
using namespace fh::visit;

namespace {

// top with the value at path ("detectors", "0", "serial") replaced (or removed when undefined).
QJsonValue with(const QJsonValue& top, QStringList path, const QJsonValue& value) {
    if (path.isEmpty())
        return value;
    const QString key = path.takeFirst();
    if (top.isArray()) {
        QJsonArray a = top.toArray();
        a[key.toInt()] = with(a[key.toInt()], path, value);
        return a;
    }
    QJsonObject o = top.toObject();
    if (path.isEmpty() && value.isUndefined())
        o.remove(key);
    else
        o[key] = with(o[key], path, value);
    return o;
}

QByteArray sampleWith(const char* path, const QJsonValue& value) {
    const QJsonDocument doc = QJsonDocument::fromJson(RecordBytes(test::SampleRecord()));
    const QJsonValue changed = with(doc.object(), QString(path).split('/'), value);
    return QJsonDocument(changed.toObject()).toJson();
}

TEST(SiteRecord, ReadsBackWhatWasWrittenNaNAndInfinitiesIncluded) {
    const SiteRecord sample = test::SampleRecord();
    const QTemporaryDir dir;
    const QString path = dir.filePath("site.json");
    QString error;
    ASSERT_TRUE(WriteRecordFile(path, sample, &error)) << qPrintable(error);
    const auto back = ReadRecordFile(path, &error);
    ASSERT_TRUE(back) << qPrintable(error);
    EXPECT_EQ(*back, sample);
    EXPECT_TRUE(test::readAll(path).contains(R"("started": "2026-03-04T10:15:02+01:00")"));
    EXPECT_TRUE(test::readAll(path).contains(R"("sum5": "NaN")"));

    // A setup file carries one such entry.
    const SetupFile setup{sample.visit.ended, "flamehost-cli 0.1.0", sample.detectors[1]};
    ASSERT_TRUE(WriteSetupFile(dir.filePath("a1.json"), setup, &error));
    EXPECT_EQ(ReadSetupFile(dir.filePath("a1.json"), &error), setup) << qPrintable(error);
}

TEST(SiteRecord, RefusesFilesNotOursNewerOrWrongNamingTheField) {
    const QByteArray whole = RecordBytes(test::SampleRecord());
    const struct {
        QByteArray bytes;
        const char* error; // nullptr: read
    } cases[] = {
        {R"({"detectors":[{"address":1,"model":"Zorvan A2","serial":1}]})",
         "format: not a flamehost-site file"},
        {"[1, 2]", "the top level is not an object"},
        {whole.left(whole.size() / 2), "not JSON"},
        {sampleWith("format", "flamehost-site/2"),
         "format: flamehost-site/2 is newer than this program reads"},
        {sampleWith("format", "flamehost-site/1.4"), nullptr}, // a later minor: still ours
        {sampleWith("format", "flamehost-site/one"), "is not a version this program reads"},
        {sampleWith("visit/started", "yesterday"), "visit.started: must be a date"},
        {sampleWith("visit/line/echo", 1), "visit.line.echo: must be true or false"},
        {sampleWith("visit/complete", false), "visit.interrupted: must say why"},
        {sampleWith("detectors", QJsonObject()), "detectors: must be a list"},
        {sampleWith("detectors/0/serial", "31208"), "detectors[0].serial: must be a whole number"},
        {sampleWith("detectors/0/address", 5), "detectors[1].address: 5 appears twice"},
        {sampleWith("detectors/0/model", "Zorvan C9"),
         "detectors[0].model: \"Zorvan C9\" is not the name of model code 358"},
        {sampleWith("detectors/1/status", "WW"), "detectors[1].status: must be one character"},
        {sampleWith("detectors/2/serial", 4711), "detectors[2].serial: must be null"},
        {sampleWith("detectors/0/setup/registers", QJsonArray{17669}),
         "detectors[0].setup.registers: must hold the 4 register(s)"},
        {sampleWith("detectors/0/setup/settings/heat_mode", "WARM"),
         "detectors[0].setup.settings.heat_mode: \"WARM\" is not one of OFF, AUTO, ON"},
        {sampleWith("detectors/0/setup/settings/heat_on", QJsonValue()),
         "settings.heat_on: is null, but the Zorvan C1 has this setting"},
        {sampleWith("detectors/1/setup/settings/delay", "5"),
         "detectors[1].setup.settings.delay: must be null"},
        {sampleWith("detectors/0/setup/settings/flags/auto_bit", QJsonValue::Undefined),
         "detectors[0].setup.settings.flags.auto_bit: is missing"},
        {sampleWith("detectors/0/readings/sum4", true), "readings.sum4: must be a number"},
        {sampleWith("detectors/0/readings/gain", 4),
         "readings.gain: must be a whole number from 0 to 3"},
        {sampleWith("detectors/0/bit/outcome", "passed"), "bit.outcome: must be \"performed\""},
        {sampleWith("detectors/2/unread/0/part", "bit"), "unread[0].part: must be status"},
    };
    for (const auto& c : cases) {
        QString error;
        const auto record = RecordFromBytes(c.bytes, &error);
        EXPECT_EQ(record.has_value(), c.error == nullptr) << c.error << ": " << qPrintable(error);
        if (c.error) {
            EXPECT_TRUE(error.contains(QString::fromUtf8(c.error)))
                << c.error << " / " << qPrintable(error);
        }
    }
}

TEST(SetupFile, RefusesARecordAndAnEntryWithoutSetupNamingTheFile) {
    const QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(WriteRecordFile(dir.filePath("site.json"), test::SampleRecord(), &error));
    EXPECT_FALSE(ReadSetupFile(dir.filePath("site.json"), &error));
    EXPECT_TRUE(error.startsWith(dir.filePath("site.json") + ": format: not a flamehost-setup"))
        << qPrintable(error);
    const SetupFile none{test::At("2026-03-04T10:15:02+01:00"), "x",
                         test::SampleRecord().detectors[2]};
    ASSERT_TRUE(WriteSetupFile(dir.filePath("none.json"), none, &error));
    EXPECT_FALSE(ReadSetupFile(dir.filePath("none.json"), &error));
    EXPECT_TRUE(error.endsWith("detector.setup: is null: the file holds no setup"));
}

TEST(AtomicFile, ReplacesTheFileWholeOrLeavesEverythingAsItWas) {
    const QTemporaryDir dir;
    const QString file = dir.filePath("site.json");
    QString error;
    ASSERT_TRUE(test::writeAll(file, QByteArray(5000, 'x')));
    ASSERT_TRUE(WriteFileAtomically(file, "short", &error));
    EXPECT_EQ(test::readAll(file), "short");

    // A folder in the file's place cannot be replaced; a missing folder cannot be written into.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    EXPECT_FALSE(WriteFileAtomically(dir.filePath("taken"), "x", &error));
    EXPECT_TRUE(error.startsWith(dir.filePath("taken") + ": cannot write:")) << qPrintable(error);
    EXPECT_FALSE(WriteFileAtomically(dir.filePath("gone/site.json"), "x", &error));
    EXPECT_TRUE(error.contains("gone/site.json")) << qPrintable(error);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"site.json", "taken"})); // no temporary file left behind
    EXPECT_EQ(test::readAll(file), "short");
}

TEST(DetectorTable, CsvQuotesAndKeepsTextFromTheLineFromBecomingAFormula) {
    SiteRecord r = test::SampleRecord();
    r.detectors[0].firmware = "=HYPERLINK(\"x\")";
    EXPECT_EQ(DetectorTableCsv(r).toStdString(),
              "address,model,serial,firmware,status,fault,bit,voltage,temperature,attention\r\n"
              "3,Zorvan C1,31208,\"'=HYPERLINK(\"\"x\"\")\",N,0,performed,24.1,-5,1 reply fault\r\n"
              "5,Zorvan A1,1203,A1 FW 2.07,W,1,no answer,24.1,-5,fault 1; status W; BIT not "
              "performed; sensitivity outside its list\r\n"
              "8,-,-,-,-,-,not run,-,-,\"3 reply faults; not read: status, firmware\"\r\n");
}

TEST(AddressList, ReadsRangesAndListsAndRefusesTheRest) {
    const struct {
        const char* text;
        const char* shortest; // nullptr: refused
    } cases[] = {{"1-32,40", "1-32,40"}, {"3,1,3", "1,3"}, {"1,2,3,5", "1-3,5"}, {"247", "247"},
                 {"0", nullptr},         {"5-3", nullptr}, {"7,,8", nullptr},    {"1-2-3", nullptr},
                 {"x", nullptr},         {"248", nullptr}};
    for (const auto& c : cases) {
        QString error;
        const auto list = ParseAddressList(c.text, &error);
        EXPECT_EQ(list.has_value(), c.shortest != nullptr) << c.text;
        if (list) {
            EXPECT_EQ(AddressListText(*list), c.shortest);
        } else {
            EXPECT_TRUE(error.contains("is not an address")) << qPrintable(error);
        }
    }
}

} // namespace
