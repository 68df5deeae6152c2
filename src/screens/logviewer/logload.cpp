#include "screens/logviewer/logload.h"

#include "logging/logcsv.h"

#include <QFile>
#include <QPromise>
#include <QSaveFile>
#include <QtConcurrent>

namespace fh {

namespace {

void digest(QPromise<LogDigest>& promise, const QString& path, LogKind kind) {
    promise.setProgressRange(0, 1000);
    LogDigest d;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        d.error = file.errorString();
        promise.addResult(std::move(d));
        return;
    }
    const qint64 size = std::max<qint64>(1, file.size());
    LogReader reader(&file, kind);
    while (!reader.atEnd()) {
        if (promise.isCanceled())
            return;
        d.add(reader.read(), kind);
        promise.setProgressValue(int(std::min<qint64>(1000, reader.bytesRead() * 1000 / size)));
    }
    d.error = reader.error();
    promise.addResult(std::move(d));
}

void exportCsv(QPromise<CsvExport>& promise, const QString& logPath, LogKind kind, quint8 address,
               std::optional<quint16> serial, const QString& csvPath) {
    CsvExport result;
    QFile file(logPath);
    QSaveFile out(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: %2").arg(logPath, file.errorString());
    } else if (!out.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("%1: %2").arg(csvPath, out.errorString());
    } else {
        LogReader reader(&file, kind);
        out.write(LogCsvHeader(kind));
        while (!reader.atEnd() && !promise.isCanceled()) {
            for (const LogRecord& r : reader.read().records)
                if (r.address == address && (!serial || r.serial == serial)) {
                    out.write(LogCsvRow(r, kind));
                    ++result.rows;
                }
        }
        if (promise.isCanceled())
            return; // the save file is dropped, the target stays as it was
        if (!reader.error().isEmpty())
            result.error = QStringLiteral("%1: %2").arg(logPath, reader.error());
        else if (!out.commit())
            result.error = QStringLiteral("%1: %2").arg(csvPath, out.errorString());
    }
    promise.addResult(result);
}

} // namespace

QFuture<LogDigest> StartLogDigest(const QString& path, LogKind kind) {
    return QtConcurrent::run(digest, path, kind);
}

QFuture<CsvExport> StartLogCsvExport(const QString& logPath, LogKind kind, quint8 address,
                                     std::optional<quint16> serial, const QString& csvPath) {
    return QtConcurrent::run(exportCsv, logPath, kind, address, serial, csvPath);
}

} // namespace fh
