#pragma once
// Both logs as the program runs them, with one interface: switched on with a period and off,
// a record when a period's last minute has passed and at every change of what the log
// records, and the records kept after a failed write tried again every few seconds until the
// file takes them. The minute runs on the clock the log is given (virtual in tests).
#include "logging/statuslog.h"
#include "logging/sumslog.h"

#include <memory>
#include <QObject>

namespace fh {

class Clock;
class ClockTimer;
class DetectorLink;

class TimedLog : public QObject {
    Q_OBJECT
public:
    static constexpr int MinuteMs = 60000;
    static constexpr int RetryMs = 5000;

    ~TimedLog() override;

    // Switched on with a period of 1..255 minutes: the header, and a first record where the
    // log's rule asks for one.
    void start(quint8 period);
    // Switched off; the period is kept and the file is not touched.
    void stop();
    bool running() const { return log_->running(); }
    quint8 period() const { return log_->period(); }
    // Whether the minute runs now: while the log runs and may record.
    bool minuteRunning() const;

    // The minute (its timer runs it): a record once the period is complete.
    void minuteTick();
    // The kept records, tried again (the retry timer runs it while records are kept).
    void retryKept();

    PeriodicLog& log() { return *log_; }

signals:
    // Switched on or off.
    void changed();
    // A write failed, or the kept records filled up.
    void warning(const QString& text);
    // The file took the kept records again.
    void recovered(const QString& text);

protected:
    TimedLog(std::unique_ptr<PeriodicLog> log, Clock& clock, QObject* parent);

    // What differs between the logs: how they start and what a minute's record holds.
    virtual void startLog(quint8 period) = 0;
    virtual void tickLog() = 0;
    // Whether records can come now; the minute pauses while they cannot.
    void setRecording(bool recording);
    // After every write: the retry runs while records are kept.
    void afterWrite();

private:
    void runMinute();

    std::unique_ptr<PeriodicLog> log_;
    ClockTimer* minute_;
    ClockTimer* retry_;
    bool recording_ = true;
};

// The status log Ir3Log.txt: the detector the main screen shows, on the minute and at every
// change of its status. Records while the main screen is hidden carry a blank serial.
class StatusLogging : public TimedLog {
    Q_OBJECT
public:
    StatusLogging(const DetectorLink& link, const QString& dataDir, LogClock logClock, Clock& clock,
                  QObject* parent = nullptr);

    // The main screen tells whether it is shown.
    void setMainScreenShown(bool shown) { mainScreenShown_ = shown; }

private:
    void startLog(quint8 period) override;
    void tickLog() override;
    void statusChanged();
    StatusLog& file() { return static_cast<StatusLog&>(log()); }

    const DetectorLink& link_;
    bool mainScreenShown_ = false;
};

// The sums log Ir3SumsLog.txt: the maintenance readings, on the minute and at every change of
// the status they carry. Records come only while the maintenance screen is open.
class SumsLogging : public TimedLog {
    Q_OBJECT
public:
    SumsLogging(const MaintenanceReadings& readings, const QString& dataDir, LogClock logClock,
                Clock& clock, QObject* parent = nullptr);

    void setScreenOpen(bool open) { setRecording(open); }
    // The readings brought another status.
    void statusChanged();

private:
    void startLog(quint8 period) override;
    void tickLog() override;
    SumsLog& file() { return static_cast<SumsLog&>(log()); }

    const MaintenanceReadings& readings_;
};

} // namespace fh
