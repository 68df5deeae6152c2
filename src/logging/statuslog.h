#pragma once
// The detector status log Ir3Log.txt: when it writes and the bytes it writes. The host model
// runs it on its timers; the main screen asks for the period and shows whether it runs.
#include "detector/detectorrecord.h"
#include "logging/periodiclog.h"

namespace fh {

inline const QString StatusLogFileName = QStringLiteral("Ir3Log.txt");

// The columns of a record: address, date, time, status, serial.
inline constexpr int StatusLogColumns[] = {1, 7, 19, 33, 42};

// The main screen's notice while logging runs with `period` minutes.
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

    // Switched on with `period` minutes (a period of 0 changes nothing): the header, and one
    // record at once when `lastReplyStatusByte` (the status byte of the last status reply
    // collected) is an ASCII letter.
    void start(quint8 period, const DetectorRecord& record, quint8 lastReplyStatusByte);

    // One minute: a record when the period is complete, else the kept entries are tried
    // again. Off, no record. True when a record was written or kept.
    bool minuteTick(const DetectorRecord& record, bool mainScreenShown);

    // One record: with the main screen shown only while logging runs, carrying the serial
    // display; with it hidden whatever the switch, with a blank serial column. True when a
    // record was written or kept.
    bool writeRecord(const DetectorRecord& record, bool mainScreenShown);
};

} // namespace fh
