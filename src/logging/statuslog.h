#pragma once
// The detector status log Ir3Log.txt: its state, when it writes, and the bytes it writes. The
// main screen owns this object, the prompt, the captions and the timers.
#include "detector/detectorrecord.h"
#include "logging/periodiclog.h"

namespace fh {

inline const QString StatusLogFileName = QStringLiteral("Ir3Log.txt");

// The columns of a record: address, date, time, status, serial.
inline constexpr int StatusLogColumns[] = {1, 7, 19, 33, 42};

// lblLogOn's text while logging runs with `period` minutes.
QString StatusLogNotice(quint8 period);

// The header block: an empty line, the column titles, 70 hyphens.
QByteArray StatusLogHeaderBytes();

// One record line. `serialText` is what the serial column carries (the serial display, or a
// single blank while the main screen is hidden).
QByteArray StatusLogRecordBytes(const QString& addressText, const QString& dateText,
                                const QString& timeText, const QString& statusText,
                                const QString& serialText);

class StatusLog : public PeriodicLog {
    Q_OBJECT
public:
    StatusLog(const QString& dataDir, LogClock clock = {}, QObject* parent = nullptr);

    // Start (cmdLog while off, after the period answer was accepted): LogPeriod = period,
    // header, LogMinuteCount = 0, LoggingOn, and one record at once when
    // `lastReplyStatusByte` (byte 10 of the last status reply collected) is an ASCII letter.
    // A period of 0 changes nothing. The caller then starts Timer1 and Timer2.
    void Start(quint8 period, const DetectorRecord& record, quint8 lastReplyStatusByte);
    // Stop (cmdLog while on): LoggingOn off; LogPeriod is kept; nothing is written.
    void Stop();

    // Timer1 tick: counts the minute and writes a record when the period is complete.
    // Ignored while logging is off. Also retries entries kept after a failed write.
    // True when a record was written or kept.
    bool Timer1Tick(const DetectorRecord& record, bool mainScreenVisible);

    // Appends the header block.
    void WriteLogHeader();
    // Appends one record: with the main screen visible only while logging is on, carrying
    // the serial display; with it hidden whatever the switch, with a blank serial column.
    // True when a record was written or kept.
    bool WriteLogRecord(const DetectorRecord& record, bool mainScreenVisible);

    bool LoggingOn() const { return loggingOn_; }
    quint8 LogPeriod() const { return logPeriod_; }
    quint8 LogMinuteCount() const { return logMinuteCount_; }

private:
    bool loggingOn_ = false;
    quint8 logPeriod_ = 0;
    quint8 logMinuteCount_ = 0;
};

} // namespace fh
