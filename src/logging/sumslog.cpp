#include "logging/sumslog.h"

#include "logging/columnwriter.h"

#include <QDir>

namespace fh {

namespace {

constexpr int AddrColumn = SumsLogColumns[0];
constexpr int DateColumn = SumsLogColumns[1];
constexpr int TimeColumn = SumsLogColumns[2];
constexpr int StatusColumn = SumsLogColumns[3];
constexpr int SerialColumn = SumsLogColumns[4];
constexpr int Sum4Column = SumsLogColumns[5];
constexpr int Sum45Column = SumsLogColumns[6];
constexpr int Sum5Column = SumsLogColumns[7];
constexpr int RuleLength = 81;

} // namespace

QString SumsLogNotice(quint8 period) {
    return QStringLiteral("Saving data to Ir3SumsLog.txt every ") + QString::number(period) +
           QStringLiteral(" minutes...");
}

QString FormatLogSum(float value) {
    QString text = QString::number(double(value), 'f', 1);
    if (text == QLatin1String("-0.0"))
        text.remove(0, 1);
    return text;
}

QByteArray SumsLogHeaderBytes() {
    ColumnWriter w;
    w.endLine();
    w.at(AddrColumn, QStringLiteral("Addr."))
        .at(DateColumn, QStringLiteral("Date"))
        .at(TimeColumn, QStringLiteral("Time"))
        .at(StatusColumn, QStringLiteral("Status"))
        .at(SerialColumn, QStringLiteral("SerialNo."))
        .at(Sum4Column, QStringLiteral("Sum4"))
        .at(Sum45Column, QStringLiteral("Sum45"))
        .at(Sum5Column, QStringLiteral("Sum5"))
        .endLine();
    w.at(1, QString(RuleLength, u'-')).endLine();
    return w.bytes();
}

QByteArray SumsLogRecordBytes(const MaintenanceReadings& r, const QString& dateText,
                              const QString& timeText) {
    ColumnWriter w;
    w.at(AddrColumn, r.Address)
        .at(DateColumn, dateText)
        .at(TimeColumn, timeText)
        .at(StatusColumn, QString(QChar::fromLatin1(char(r.StatusChar))) + r.FaultText)
        .at(SerialColumn, QString::number(r.SerialNumber))
        .at(Sum4Column, FormatLogSum(r.Sum4))
        .at(Sum45Column, FormatLogSum(r.Sum45))
        .at(Sum5Column, FormatLogSum(r.Sum5))
        .endLine();
    return w.bytes();
}

SumsLog::SumsLog(const QString& dataDir, LogClock clock, QObject* parent)
    : PeriodicLog(QDir(dataDir).filePath(SumsLogFileName), std::move(clock), parent) {}

void SumsLog::start(quint8 period, const MaintenanceReadings& readings) {
    if (begin(period, SumsLogHeaderBytes()))
        writeRecord(readings);
}

bool SumsLog::minuteTick(const MaintenanceReadings& readings) {
    if (minuteDue() && writeRecord(readings))
        return true;
    retryKept();
    return false;
}

bool SumsLog::writeRecord(const MaintenanceReadings& readings) {
    if (!running())
        return false;
    const QDateTime now = clock_.now();
    append(SumsLogRecordBytes(readings, clock_.dateText(now.date()), clock_.timeText(now.time())));
    return true;
}

} // namespace fh
