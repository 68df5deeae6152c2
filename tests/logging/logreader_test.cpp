// Both logs read back (shown as their CSV lines): every column, the header blocks and their runs,
// the column rule's wrapped lines, and odd, broken and foreign lines, whatever the chunks the file
// is read in.
#include "logging/logcsv.h"
#include "logging/statuslog.h"
#include "logging/sumslog.h"

#include "loghelpers.h"

#include <gtest/gtest.h>
#include <QBuffer>

using namespace fh;
using namespace fh::test;

namespace {

const QLocale EnUs(QLocale::English, QLocale::UnitedStates);
const QLocale Esperanto(QLocale::Esperanto);
const QLocale German(QLocale::German, QLocale::Germany);

// A record line as the writers write it, at FixedNow in `locale`.
QByteArray statusLine(const char* address, const char* status, const char* serial,
                      const QLocale& locale = EnUs) {
    const LogClock c = LogClock([] { return FixedNow; }, locale);
    return StatusLogRecordBytes(address, c.dateText(FixedNow.date()), c.timeText(FixedNow.time()),
                                status, serial);
}

QByteArray sumsLine(const char* address, char status, const char* fault, quint16 serial, float s4,
                    float s45, float s5) {
    const MaintenanceReadings r{.Sum4 = s4,
                                .Sum45 = s45,
                                .Sum5 = s5,
                                .SerialNumber = serial,
                                .StatusChar = quint8(status),
                                .FaultText = fault,
                                .Address = address};
    return SumsLogRecordBytes(r, "12/5/26", "4:27:37 AM");
}

struct Read {
    LogKind kind = LogKind::Unknown;
    std::vector<std::string> records;         // "L4 r1 " and the record's CSV line
    std::vector<std::pair<int, qint64>> runs; // index, line
    std::vector<qint64> unreadable;
    QStringList reasons;
};

Read readLog(const QByteArray& bytes, qint64 chunk, const QLocale& locale = EnUs,
             LogKind expected = LogKind::Unknown) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LogReader reader(&buffer, expected, locale);
    Read out;
    std::vector<LogRecord> records;
    while (!reader.atEnd()) {
        const LogBatch b = reader.read(chunk);
        records.insert(records.end(), b.records.begin(), b.records.end());
        for (const LogRun& r : b.runs)
            out.runs.push_back({r.index, r.line});
        for (const UnreadableLine& u : b.unreadable) {
            out.unreadable.push_back(u.line);
            out.reasons << u.reason;
        }
    }
    EXPECT_EQ(reader.unreadableLines(), qint64(out.unreadable.size()));
    out.kind = reader.kind();
    for (const LogRecord& r : records)
        out.records.push_back(QStringLiteral("L%1 r%2 ").arg(r.line).arg(r.run).toStdString() +
                              LogCsvRow(r, out.kind).trimmed().toStdString());
    return out;
}

struct Row {
    const char* what;
    QByteArray file;
    LogKind kind;
    std::vector<std::string> records;
    std::vector<std::pair<int, qint64>> runs;
    std::vector<qint64> unreadable;
    const char* reason = nullptr; // a part of the first unreadable line's reason
    QLocale locale = EnUs;
};

void check(const Row& row) {
    // Chunk bounds anywhere: inside a CR LF, a record, a header, a wrapped entry.
    for (qint64 chunk : {qint64(1), qint64(5), LogReader::DefaultChunkBytes}) {
        const Read r = readLog(row.file, chunk, row.locale);
        const std::string at = std::string(row.what) + ", chunks of " + std::to_string(chunk);
        EXPECT_EQ(r.kind, row.kind) << at;
        EXPECT_EQ(r.records, row.records) << at;
        EXPECT_EQ(r.runs, row.runs) << at;
        EXPECT_EQ(r.unreadable, row.unreadable) << at << "\n" << qPrintable(r.reasons.join('\n'));
        if (row.reason && !r.reasons.isEmpty()) {
            EXPECT_TRUE(r.reasons.first().contains(QString::fromUtf8(row.reason)))
                << at << ": " << qPrintable(r.reasons.first());
        }
    }
}

// "L4 r1" and "1,4660,N" around the time all records here were written at.
std::string rec(const char* head, const char* rest) {
    return std::string(head) + " 2026-12-05T04:27:37," + rest;
}

TEST(LogReader, StatusLog) {
    const QByteArray header = StatusLogHeaderBytes();
    const Row rows[] = {
        {"every column; the serial empty (link bad) or blank (screen hidden)",
         header + statusLine("1", "N", "4660") + statusLine("7", "D", "") +
             statusLine("247", "f", " ") + statusLine("0", "\"", "65535"),
         LogKind::Status,
         {rec("L4 r1", "1,4660,N"), rec("L5 r1", "7,,D"), rec("L6 r1", "247,,f"),
          rec("L7 r1", "0,65535,\"\"\"\"")},
         {{1, 2}},
         {}},
        {"records before the first header are run 0; each header starts a run",
         statusLine("3", "W", "12") + header + header + statusLine("3", "N", "12") + header,
         LogKind::Status,
         {rec("L1 r0", "3,12,W"), rec("L8 r2", "3,12,N")},
         {{1, 3}, {2, 6}, {3, 10}},
         {}},
        {"a time past column 32 moves status and serial to a line of their own",
         header + statusLine("5", "N", "77", Esperanto) + statusLine("6", "N", "", Esperanto),
         LogKind::Status,
         {rec("L4 r1", "5,77,N"), rec("L6 r1", "6,,N")},
         {{1, 2}},
         {},
         nullptr,
         Esperanto},
        {"line ends: LF alone is read too; empty lines are nothing",
         "\n\n" + statusLine("1", "N", "4660").replace("\r\n", "\n") + "\r\n",
         LogKind::Status,
         {rec("L3 r0", "1,4660,N")},
         {},
         {}},
        {"a half line after a crash, ended by the next write, then a cut last line",
         header + statusLine("1", "N", "4660").left(22) + "\r\n" + statusLine("2", "N", "1") +
             statusLine("3", "N", "4660").left(43),
         LogKind::Status,
         {rec("L5 r1", "2,1,N")},
         {{1, 2}},
         {4, 6},
         "does not fit the columns of the status log"},
        {"hand edits: trailing blanks stripped, a second status letter, no columns, a split line",
         header + "7     12/5/26     4:27:37 AM    D\r\n" +
             "1     12/5/26     4:27:37 AM    NX       4660\r\n" +
             "1 12/5/26 4:27:37 AM N 4660\r\n" + "1     12/5/26\r\n" + QByteArray(18, ' ') +
             "4:27:37 AM    N        4660\r\n",
         LogKind::Status,
         {},
         {{1, 2}},
         {4, 5, 6, 7, 8},
         "does not fit the columns of the status log"},
        {"fields out of range or of another form",
         header + statusLine("256", "N", "1") + statusLine("1", "N", "65536") +
             statusLine("1", "N", "12a") + statusLine("x", "N", "1") +
             "1     13/5/26     4:27:37 AM    N        1\r\n" +
             "1     12/5/26     4:27:37 PM    \x01        1\r\n" +
             "1     12/5/26     16:27:37 PM   N        1\r\n",
         LogKind::Status,
         {},
         {{1, 2}},
         {4, 5, 6, 7, 8, 9, 10},
         "address \"256\" is not a number from 0 to 255"},
        {"a blank first column continues nothing; a stray one after a record leaves it whole",
         header + "      12/5/26\r\n" + statusLine("1", "N", "4660") + "   \r\n",
         LogKind::Status,
         {rec("L5 r1", "1,4660,N")},
         {{1, 2}},
         {4, 6},
         "starts with a blank but continues no record"},
        {"lines too long to be a record are skipped without being kept",
         header + QByteArray(5000, 'x') + "\r\n" + QByteArray(3000, '\0') + "\r\n" +
             statusLine("1", "N", "4660") + QByteArray(2000, ' '),
         LogKind::Status,
         {rec("L6 r1", "1,4660,N")},
         {{1, 2}},
         {4, 5, 7},
         "longer than 1024 characters"},
        {"dates and times of another locale are unreadable; the fallbacks are read in any",
         header + statusLine("1", "N", "1", German) +
             "2     2026-12-05  04:27:37      N        2\r\n",
         LogKind::Status,
         {rec("L5 r1", "2,2,N")},
         {{1, 2}},
         {4},
         "date \"05.12.26\" is not a date as M/d/yy or yyyy-MM-dd"},
    };
    for (const Row& row : rows)
        check(row);
}

TEST(LogReader, SumsLog) {
    const QByteArray header = SumsLogHeaderBytes();
    const Row rows[] = {
        {"every column; a five-digit serial meets Sum4; no fault text; sums that are no number",
         header + sumsLine("5", 'N', "N", 1234, 1.234f, 22.5f, 333.33f) +
             sumsLine("12", 'W', "F", 65535, -0.06f, -2.25f, 1234.56f) +
             sumsLine("1", '\xe9', "", 7, qQNaN(), qInf(), -qInf()),
         LogKind::Sums,
         {rec("L5 r1", "5,1234,N,N,1.2,22.5,333.3"), rec("L6 r1", "12,65535,W,F,-0.1,-2.3,1234.6"),
          rec("L7 r1", "1,7,\xc3\xa9,,nan,inf,-inf")},
         {{1, 2}},
         {}},
        {"a wide sum moves the next ones to a line of their own",
         header + sumsLine("247", 'A', "N", 0, 1e9f, 0, -0.04f) + header +
             sumsLine("3", ',', "N", 9, 0, 0, 0),
         LogKind::Sums,
         {rec("L5 r1", "247,0,A,N,1000000000.0,0.0,0.0"), rec("L11 r2", "3,9,\",\",N,0.0,0.0,0.0")},
         {{1, 2}, {2, 8}},
         {}},
        {"sums not as the writer writes them, a serial missing",
         header + "5     12/5/26     4:27:37 AM    NN       1234 1.23      22.5        333.3\r\n" +
             "5     12/5/26     4:27:37 AM    NN       1234 .2        22.5        333.3\r\n" +
             "5     12/5/26     4:27:37 AM    NN            1.2       22.5        333.3\r\n" +
             "5     12/5/26     4:27:37 AM    NX       1234 1.2       22.5        333.3\r\n",
         LogKind::Sums,
         {},
         {{1, 2}},
         {5, 6, 7, 8},
         "Sum4 \"1.23\" is not a number with one decimal"},
        {"a cut wrapped record: both of its lines are unreadable",
         header + sumsLine("247", 'A', "N", 0, 1e9f, 0, 0).chopped(6),
         LogKind::Sums,
         {},
         {{1, 2}},
         {5, 6},
         "the file ends inside this record"},
        {"the other log's header and records in a sums log",
         sumsLine("1", 'N', "N", 1, 1, 2, 3) + StatusLogHeaderBytes() + statusLine("1", "N", "1"),
         LogKind::Sums,
         {rec("L1 r0", "1,1,N,N,1.0,2.0,3.0")},
         {},
         {3, 5},
         "the column titles of the status log in a sums log"},
    };
    for (const Row& row : rows)
        check(row);
    // A sums record where the caller expects the status log.
    const Read r = readLog(sumsLine("1", 'N', "N", 1, 1, 2, 3), 64, EnUs, LogKind::Status);
    EXPECT_EQ(r.unreadable, std::vector<qint64>{1});
    EXPECT_TRUE(r.reasons.value(0).contains("a record of the sums log in a status log"));
}

TEST(LogReader, AFileOfGarbageComesInBoundedBatches) {
    QByteArray garbage;
    for (int i = 0; i < 40'000; ++i)
        garbage += "x\n";
    QBuffer buffer(&garbage);
    buffer.open(QIODevice::ReadOnly);
    LogReader reader(&buffer, LogKind::Unknown, EnUs);
    qint64 next = 1;
    while (!reader.atEnd()) {
        const LogBatch b = reader.read();
        ASSERT_LE(b.unreadable.size(), LogReader::MaxBatchItems);
        for (const UnreadableLine& u : b.unreadable)
            ASSERT_EQ(u.line, next++);
    }
    EXPECT_EQ(next, 40'001);
}

} // namespace
