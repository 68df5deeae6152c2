#pragma once
// What the status log and the sums log share: the clock for the record texts, the file with
// its kept entries, and the two signals that report write failures and their end.
#include "logging/logclock.h"
#include "logging/logfile.h"

#include <QObject>

namespace fh {

class PeriodicLog : public QObject {
    Q_OBJECT
public:
    // Tries again to write entries kept after a failed write (for a retry timer of the screen
    // while logging is off).
    void RetryPendingWrites();

    LogFile& file() { return file_; }

signals:
    // A write failed (once per failure episode) or the backlog filled up.
    void warning(const QString& text);
    // The file took the kept entries after a failure episode.
    void recovered(const QString& text);

protected:
    PeriodicLog(const QString& path, LogClock clock, QObject* parent);

    // Appends one header or record block and reports the outcome.
    void append(const QByteArray& block);

    LogClock clock_;

private:
    void report(const LogWriteOutcome& outcome);

    LogFile file_;
};

} // namespace fh
