#include "logging/periodiclog.h"

namespace fh {

PeriodicLog::PeriodicLog(const QString& path, LogClock clock, QObject* parent)
    : QObject(parent), clock_(std::move(clock)), file_(path) {}

void PeriodicLog::RetryPendingWrites() {
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
