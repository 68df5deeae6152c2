#pragma once
// What the status log and the sums log share: switched on with a period and off again, the
// minute count that makes a record due, the clock for the record texts, the file with its kept
// entries, and the two signals that report write failures and their end.
#include "logging/logclock.h"
#include "logging/logfile.h"

#include <QObject>

namespace fh {

class PeriodicLog : public QObject {
    Q_OBJECT
public:
    // Off: no more records by the minute or (where the log's rule asks for running) at
    // changes. The period is kept and the file is not touched.
    void stop() { running_ = false; }
    bool running() const { return running_; }
    quint8 period() const { return period_; }
    quint8 minuteCount() const { return minuteCount_; }

    // Tries again to write the entries kept after a failed write.
    void retryKept();

    LogFile& file() { return file_; }

signals:
    // A write failed (once per failure episode) or the backlog filled up.
    void warning(const QString& text);
    // The file took the kept entries after a failure episode.
    void recovered(const QString& text);

protected:
    PeriodicLog(const QString& path, LogClock clock, QObject* parent);

    // The start both logs share: a period of 0 changes nothing (false); otherwise the period
    // is taken, the header appended, the minute count set to 0 and the log running.
    bool begin(quint8 period, const QByteArray& header);
    // One minute while running: true when the period is complete and a record is due. Off,
    // nothing is counted.
    bool minuteDue();
    // Appends one header or record block and reports the outcome.
    void append(const QByteArray& block);

    LogClock clock_;

private:
    void report(const LogWriteOutcome& outcome);

    LogFile file_;
    bool running_ = false;
    quint8 period_ = 0;
    quint8 minuteCount_ = 0;
};

} // namespace fh
