#pragma once
// The maintenance sums log Ir3SumsLog.txt. Its state lives for the whole run (closing the
// maintenance screen does not stop it), so one object is kept by whoever outlives that screen;
// the screen owns the prompt, the captions and Timer3.
#include "detector/maintenance.h"
#include "logging/periodiclog.h"

namespace fh {

inline const QString SumsLogFileName = QStringLiteral("Ir3SumsLog.txt");

// The columns of a record: address, date, time, status and fault, serial, Sum4, Sum45, Sum5.
inline constexpr int SumsLogColumns[] = {1, 7, 19, 33, 42, 47, 57, 69};

// The maintenance screen's lblLogOn text while sums logging runs with `period` minutes.
QString SumsLogNotice(quint8 period);

// "##0.0": at least one digit before the point, one after it, rounded; "-" only for a value
// that does not round to zero.
QString FormatLogSum(float value);

// The header: an empty line, the column titles (the last three go to a second line, as the
// column rule puts them: "SerialNo." reaches past column 47), 81 hyphens.
QByteArray SumsLogHeaderBytes();

// One record line for the readings at the given date and time texts.
QByteArray SumsLogRecordBytes(const MaintenanceReadings& readings, const QString& dateText,
                              const QString& timeText);

class SumsLog : public PeriodicLog {
    Q_OBJECT
public:
    SumsLog(const QString& dataDir, LogClock clock = {}, QObject* parent = nullptr);

    // Switch-on with a period of 1 or more: SumsLogPeriod = period, header,
    // SumsLogMinuteCount = 0, SumsLoggingOn, and the first record at once. A period of 0
    // changes nothing. The screen enables Timer3.
    void StartSumsLog(quint8 period, const MaintenanceReadings& readings);
    // Switch-off: SumsLoggingOn = false; the file is not touched. The screen disables Timer3.
    void StopSumsLog();
    // Every Timer3 event, logging on or off: counts the minute; when the count has reached the
    // period it goes back to 0 and a record is asked for. Also retries kept entries.
    void SumsLogTick(const MaintenanceReadings& readings);

    // Appends the header, whatever the switch.
    void WriteSumsLogHeader();
    // Appends one record while logging is on; does nothing otherwise. True when a record was
    // written or kept.
    bool WriteSumsLogRecord(const MaintenanceReadings& readings);

    bool SumsLoggingOn() const { return on_; }
    quint8 SumsLogPeriod() const { return period_; }
    quint8 SumsLogMinuteCount() const { return minuteCount_; }

private:
    bool on_ = false;
    quint8 period_ = 0;
    quint8 minuteCount_ = 0;
};

} // namespace fh
