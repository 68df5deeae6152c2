#include "screens/host/timedlog.h"

#include "link/clocktimer.h"
#include "screens/host/detectorlink.h"

namespace fh {

TimedLog::TimedLog(std::unique_ptr<PeriodicLog> log, Clock& clock, QObject* parent)
    : QObject(parent), log_(std::move(log)), minute_(new ClockTimer(clock, this)),
      retry_(new ClockTimer(clock, this)) {
    minute_->setInterval(MinuteMs);
    connect(minute_, &ClockTimer::timeout, this, &TimedLog::minuteTick);
    retry_->setInterval(RetryMs);
    connect(retry_, &ClockTimer::timeout, this, &TimedLog::retryKept);
    connect(log_.get(), &PeriodicLog::warning, this, &TimedLog::warning);
    connect(log_.get(), &PeriodicLog::recovered, this, &TimedLog::recovered);
}

TimedLog::~TimedLog() = default;

void TimedLog::start(quint8 period) {
    startLog(period);
    runMinute();
    afterWrite();
    emit changed();
}

void TimedLog::stop() {
    log_->stop();
    runMinute();
    emit changed();
}

bool TimedLog::minuteRunning() const {
    return minute_->isActive();
}

void TimedLog::runMinute() {
    // Each start begins a whole minute, as does each time records can come again.
    if (running() && recording_)
        minute_->start();
    else
        minute_->stop();
}

void TimedLog::setRecording(bool recording) {
    recording_ = recording;
    runMinute();
}

void TimedLog::minuteTick() {
    tickLog();
    afterWrite();
}

void TimedLog::retryKept() {
    log_->retryKept();
    afterWrite();
}

void TimedLog::afterWrite() {
    // Records kept after a failed write go out as soon as the file takes them again.
    if (log_->file().pendingBlocks() > 0) {
        if (!retry_->isActive())
            retry_->start();
    } else {
        retry_->stop();
    }
}

StatusLogging::StatusLogging(const DetectorLink& link, const QString& dataDir, LogClock logClock,
                             Clock& clock, QObject* parent)
    : TimedLog(std::make_unique<StatusLog>(dataDir, std::move(logClock)), clock, parent),
      link_(link) {
    connect(&link_, &DetectorLink::statusChanged, this, &StatusLogging::statusChanged);
}

void StatusLogging::startLog(quint8 period) {
    // A record at once when the last status was a letter.
    file().start(period, link_.record(), link_.record().StatusChar);
}

void StatusLogging::tickLog() {
    file().minuteTick(link_.record(), mainScreenShown_);
}

void StatusLogging::statusChanged() {
    file().writeRecord(link_.record(), mainScreenShown_);
    afterWrite();
}

SumsLogging::SumsLogging(const MaintenanceReadings& readings, const QString& dataDir,
                         LogClock logClock, Clock& clock, QObject* parent)
    : TimedLog(std::make_unique<SumsLog>(dataDir, std::move(logClock)), clock, parent),
      readings_(readings) {
    setRecording(false);
}

void SumsLogging::startLog(quint8 period) {
    file().start(period, readings_);
}

void SumsLogging::tickLog() {
    file().minuteTick(readings_);
}

void SumsLogging::statusChanged() {
    file().writeRecord(readings_);
    afterWrite();
}

} // namespace fh
