#include "logging/logcsv.h"

namespace fh {

namespace {

// A character from the line as a CSV field: quoted when it is the separator or the quote.
QByteArray charField(char c) {
    if (c == 0)
        return {};
    const QByteArray text = QString(QChar::fromLatin1(c)).toUtf8();
    if (c == ',')
        return "\",\"";
    if (c == '"')
        return "\"\"\"\"";
    return text;
}

} // namespace

QByteArray LogCsvHeader(LogKind kind) {
    return kind == LogKind::Sums ? "time,address,serial,status,fault,sum4,sum45,sum5\n"
                                 : "time,address,serial,status\n";
}

QByteArray LogCsvRow(const LogRecord& r, LogKind kind) {
    QByteArray line =
        r.date.toString(Qt::ISODate).toLatin1() + 'T' + r.time.toString(Qt::ISODate).toLatin1() +
        ',' + QByteArray::number(r.address) + ',' +
        (r.serial ? QByteArray::number(*r.serial) : QByteArray()) + ',' + charField(r.status);
    if (kind == LogKind::Sums) {
        line += ',' + charField(r.fault);
        for (double sum : {r.sum4, r.sum45, r.sum5})
            line += ',' + QByteArray::number(sum, 'f', 1);
    }
    return line + '\n';
}

} // namespace fh
