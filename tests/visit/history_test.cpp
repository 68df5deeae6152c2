// One detector across the site records of a folder: which files count, the order, the CSV.
#include "samples.h"
#include "visit/history.h"
#include "visit/recordjson.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace fh::test {
namespace {

void put(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    QFile f(dir.filePath(QLatin1String(name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(History, TakesTheSiteRecordsOfTheFolderOldestFirst) {
    QTemporaryDir dir;
    visit::SiteRecord later = SampleRecord();
    later.visit.started = At("2026-09-01T08:00:00+02:00");
    later.detectors[0].address = 7; // the detector moved
    later.detectors[0].readings.reset();
    // Written in the other order than their times.
    put(dir, "a-later.json", visit::RecordBytes(later));
    put(dir, "b-first.json", visit::RecordBytes(SampleRecord()));
    put(dir, "setup.json", R"({"format": "flamehost-setup/1"})");
    put(dir, "broken.json", "{");
    put(dir, "notes.txt", "not a record");
    ASSERT_TRUE(QDir(dir.path()).mkdir("older.json"));

    // Serial, then the addresses of its rows and whether they carry readings.
    using Case = std::tuple<quint16, std::vector<int>, std::vector<bool>>;
    for (const auto& [serial, addresses, read] :
         {Case{31208, {3, 7}, {true, false}}, Case{1203, {5, 5}, {true, true}}, Case{1, {}, {}}}) {
        QString error;
        const auto h = visit::ReadHistory(dir.path(), serial, &error);
        ASSERT_TRUE(h) << error.toStdString();
        EXPECT_EQ(h->recordsRead, 2);
        ASSERT_EQ(h->unreadable.size(), 1);
        EXPECT_TRUE(h->unreadable[0].contains("broken.json"));
        std::vector<int> got;
        std::vector<bool> gotRead;
        for (const auto& r : h->rows) {
            got.push_back(r.address);
            gotRead.push_back(r.readings.has_value());
        }
        EXPECT_EQ(got, addresses) << serial;
        EXPECT_EQ(gotRead, read) << serial;
    }

    QString error;
    const auto h = visit::ReadHistory(dir.path(), 31208, &error);
    EXPECT_EQ(visit::HistoryCsv(*h),
              QByteArray("time,site,address,status,fault,sum4,sum45,sum5,noise4,noise45,noise5,"
                         "file\n"
                         "2026-03-04T10:15:02+01:00,North hall,3,N,0,1520.50,1480.00,nan,3,0,0,"
                         "b-first.json\n"
                         "2026-09-01T08:00:00+02:00,North hall,7,N,0,,,,,,,a-later.json\n"));
    EXPECT_FALSE(visit::ReadHistory(dir.filePath("notes.txt"), 1, &error));
    EXPECT_TRUE(error.contains("not a readable folder"));
}

} // namespace
} // namespace fh::test
