#include "logging/statuslog.h"

#include "logging/columnwriter.h"

#include <QDir>

namespace fh {

namespace {

constexpr int AddrColumn = StatusLogColumns[0];
constexpr int DateColumn = StatusLogColumns[1];
constexpr int TimeColumn = StatusLogColumns[2];
constexpr int StatusColumn = StatusLogColumns[3];
constexpr int SerialColumn = StatusLogColumns[4];
constexpr int RuleLength = 70;

bool isAsciiLetter(quint8 b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

} // namespace

QString StatusLogNotice(quint8 period) {
    return QStringLiteral("Saving detector's data to Ir3Log.txt every ") + QString::number(period) +
           QStringLiteral(" minutes...");
}

QByteArray StatusLogHeaderBytes() {
    ColumnWriter w;
    w.endLine();
    w.at(AddrColumn, QStringLiteral("Addr."))
        .at(DateColumn, QStringLiteral("Date"))
        .at(TimeColumn, QStringLiteral("Time"))
        .at(StatusColumn, QStringLiteral("Status"))
        .at(SerialColumn, QStringLiteral("Serial No."))
        .endLine();
    w.at(1, QString(RuleLength, u'-')).endLine();
    return w.bytes();
}

QByteArray StatusLogRecordBytes(const QString& addressText, const QString& dateText,
                                const QString& timeText, const QString& statusText,
                                const QString& serialText) {
    ColumnWriter w;
    w.at(AddrColumn, addressText)
        .at(DateColumn, dateText)
        .at(TimeColumn, timeText)
        .at(StatusColumn, statusText)
        .at(SerialColumn, serialText)
        .endLine();
    return w.bytes();
}

StatusLog::StatusLog(const QString& dataDir, LogClock clock, QObject* parent)
    : PeriodicLog(QDir(dataDir).filePath(StatusLogFileName), std::move(clock), parent) {}

void StatusLog::start(quint8 period, const DetectorRecord& record, quint8 lastReplyStatusByte) {
    if (begin(period, StatusLogHeaderBytes()) && isAsciiLetter(lastReplyStatusByte))
        writeRecord(record, true);
}

bool StatusLog::minuteTick(const DetectorRecord& record, bool mainScreenShown) {
    if (minuteDue())
        return writeRecord(record, mainScreenShown);
    retryKept();
    return false;
}

bool StatusLog::writeRecord(const DetectorRecord& record, bool mainScreenShown) {
    if (mainScreenShown && !running())
        return false;
    // The serial display is empty while the link is bad.
    QString serial = record.LinkGood ? QString::number(record.SerialNumber) : QString();
    if (!mainScreenShown)
        serial = QStringLiteral(" ");
    const QDateTime now = clock_.now();
    append(StatusLogRecordBytes(QString::number(record.Address), clock_.dateText(now.date()),
                                clock_.timeText(now.time()), StatusText(record), serial));
    return true;
}

} // namespace fh
