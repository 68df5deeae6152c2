#pragma once
// The log viewer's work off the screen thread: reading a whole log into a LogDigest with
// progress, and writing one detector's records as CSV. Both run through QtConcurrent, stop
// between two chunks when cancelled, and touch nothing of the screens.
#include "screens/charts/logdigest.h"

#include <QFuture>

namespace fh {

// Progress runs from 0 to 1000 (per mille of the file's bytes).
QFuture<LogDigest> StartLogDigest(const QString& path, LogKind kind);

// The records of the detector at `address` (and `serial`, when given) as CSV at csvPath,
// written whole or not at all. The result: the number of rows, or the error's text.
struct CsvExport {
    qint64 rows = 0;
    QString error;
};
QFuture<CsvExport> StartLogCsvExport(const QString& logPath, LogKind kind, quint8 address,
                                     std::optional<quint16> serial, const QString& csvPath);

} // namespace fh
