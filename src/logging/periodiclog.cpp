#include "logging/periodiclog.h"

#include "logging/logperiod.h"

namespace fh {

PeriodicLog::PeriodicLog(const QString& path, LogClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)), file_(path) {}

bool PeriodicLog::begin(quint8 period, const QByteArray& header) {
    if (period == 0)
        return false;
    period_ = period;
    append(header);
    minuteCount_ = 0;
    running_ = true;
    return true;
}

bool PeriodicLog::minuteDue() {
    return running_ && MinuteTick(minuteCount_, period_);
}

void PeriodicLog::retryKept() {
    report(file_.retryPending());
}

void PeriodicLog::append(const QByteArray& block) {
    report(file_.append(block));
}

void PeriodicLog::report(const LogWriteOutcome& outcome) {
    if (!outcome.warning.isEmpty())
        emit warning(outcome.warning);
    if (!outcome.recovered.isEmpty())
        emit recovered(outcome.recovered);
}

} // namespace fh
