// What reading a sums log costs: a generated log of 1,000,000 lines (headers every 10,000) read
// with LogReader in its default chunks. Prints lines per second and the peak resident memory,
// which stays that of a chunk whatever the file's size. An argument sets another line count.
#include "logging/logreader.h"
#include "logging/sumslog.h"

#include <chrono>
#include <cstdio>
#include <QFile>
#include <QTemporaryDir>
#include <sys/resource.h>

using namespace fh;

namespace {

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Writes about `lines` lines: runs of 10,000 records a minute apart, each after its header.
qint64 writeLog(const QString& path, qint64 lines) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    const LogClock clock({}, QLocale(QLocale::English, QLocale::UnitedStates));
    const QByteArray header = SumsLogHeaderBytes();
    QDateTime at(QDate(2026, 1, 1), QTime(6, 0), Qt::UTC); // no local-time rules to look up
    MaintenanceReadings r;
    r.Address = QStringLiteral("12");
    r.SerialNumber = 31208;
    r.FaultText = QStringLiteral("N");
    QByteArray block;
    qint64 written = 0;
    for (qint64 i = 0; written < lines; ++i) {
        if (i % 10'000 == 0) {
            block += header;
            written += header.count('\n');
        }
        r.StatusChar = i % 97 == 0 ? 'W' : 'N';
        r.Sum4 = 1500.0f + float(i % 300) * 0.1f;
        r.Sum45 = 1480.25f - float(i % 200) * 0.1f;
        r.Sum5 = 35.0f + float(i % 50);
        block += SumsLogRecordBytes(r, clock.dateText(at.date()), clock.timeText(at.time()));
        ++written;
        at = at.addSecs(60);
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return file.size();
}

} // namespace

int main(int argc, char** argv) {
    const qint64 lines = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1'000'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Ir3SumsLog.txt"));
    const qint64 size = writeLog(path, lines);
    if (size < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double before = peakMegabytes();

    QFile file(path);
    file.open(QIODevice::ReadOnly);
    LogReader reader(&file, LogKind::Unknown, QLocale(QLocale::English, QLocale::UnitedStates));
    qint64 records = 0, runs = 0;
    double sum = 0;
    const auto start = std::chrono::steady_clock::now();
    while (!reader.atEnd()) {
        const LogBatch b = reader.read();
        records += qint64(b.records.size());
        runs += qint64(b.runs.size());
        for (const LogRecord& r : b.records)
            sum += r.sum4;
    }
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("sums log: %lld lines, %.1f MB, %lld records in %lld runs, %lld unreadable\n",
                reader.linesRead(), double(size) / 1e6, records, runs, reader.unreadableLines());
    std::printf("read in %.2f s: %.0f lines/s, %.1f MB/s\n", s, double(reader.linesRead()) / s,
                double(size) / 1e6 / s);
    std::printf("peak resident memory: %.1f MB (%.1f MB before reading)\n", peakMegabytes(),
                before);
    return sum < 0 ? 1 : 0; // keeps the sums from being folded away
}
