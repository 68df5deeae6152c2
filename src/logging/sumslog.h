#pragma once
// The maintenance sums log Ir3SumsLog.txt: when it writes and the bytes it writes. It lives for
// the whole run (closing the maintenance screen does not stop it): the host model keeps it with
// the readings and runs it on its timer; the screen asks for the period and shows whether it
// runs.
#include "detector/maintenance.h"
#include "logging/periodiclog.h"

namespace fh {

inline const QString SumsLogFileName = QStringLiteral("Ir3SumsLog.txt");

// The columns of a record: address, date, time, status and fault, serial, Sum4, Sum45, Sum5.
inline constexpr int SumsLogColumns[] = {1, 7, 19, 33, 42, 47, 57, 69};

// The maintenance screen's notice while sums logging runs with `period` minutes.
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

    // Switched on with `period` minutes (a period of 0 changes nothing): the header and the
    // first record at once.
    void start(quint8 period, const MaintenanceReadings& readings);

    // One minute: a record when the period is complete, else the kept entries are tried
    // again. Off, no record. True when a record was written or kept.
    bool minuteTick(const MaintenanceReadings& readings);

    // One record while logging runs; nothing otherwise. True when a record was written or
    // kept.
    bool writeRecord(const MaintenanceReadings& readings);
};

} // namespace fh
