#include "visit/table.h"

#include "detector/maintenance.h"

namespace fh::visit {

namespace {

const QString None = QStringLiteral("-");

QString csvCell(QString text, bool fromLine) {
    // A cell from the line that starts like a formula stays text in a spreadsheet.
    if (fromLine && text != None && !text.isEmpty() && QStringLiteral("=+-@").contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}

} // namespace

QString Printable(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return out;
}

QStringList Attention(const DetectorEntry& e) {
    QStringList out;
    if (e.identity && e.identity->fault != 0)
        out << QStringLiteral("fault %1").arg(e.identity->fault);
    if (e.identity && e.identity->statusChar != 'N')
        out << QStringLiteral("status %1").arg(Printable(StatusCharText(e.identity->statusChar)));
    if (e.bit.outcome == BitOutcome::NoAnswer)
        out << QStringLiteral("BIT not performed");
    if (e.setup)
        for (const SetupDrift& d : e.setup->outsideLists)
            out << QStringLiteral("%1 outside its list").arg(d.key);
    qint64 faults = 0;
    for (const auto& [key, count] : e.replyFaults)
        faults += count;
    if (faults > 0)
        out << QStringLiteral("%1 reply fault%2").arg(faults).arg(faults == 1 ? "" : "s");
    if (!e.unread.empty()) {
        QStringList parts;
        for (const Unread& u : e.unread)
            parts << u.part;
        out << QStringLiteral("not read: ") + parts.join(QStringLiteral(", "));
    }
    return out;
}

std::vector<TableRow> DetectorTable(const SiteRecord& record) {
    std::vector<TableRow> rows;
    for (const DetectorEntry& e : record.detectors) {
        TableRow r;
        r.address = e.address;
        r.model = e.identity ? e.identity->model : None;
        r.serial = e.identity ? QString::number(e.identity->serial) : None;
        r.firmware = e.firmware ? Printable(*e.firmware) : None;
        r.status = e.identity ? Printable(StatusCharText(e.identity->statusChar)) : None;
        r.bit = BitOutcomeText(e.bit.outcome);
        r.voltage = e.readings ? FormatVoltage(e.readings->voltage) : None;
        r.temperature = e.readings ? QString::number(e.readings->temperature) : None;
        r.attention = Attention(e);
        rows.push_back(r);
    }
    return rows;
}

QByteArray DetectorTableCsv(const SiteRecord& record) {
    QStringList lines{QStringLiteral("address,model,serial,firmware,status,fault,bit,voltage,"
                                     "temperature,attention")};
    const std::vector<TableRow> rows = DetectorTable(record);
    for (size_t i = 0; i < rows.size(); ++i) {
        const DetectorEntry& e = record.detectors[i];
        const TableRow& r = rows[i];
        const QString fault = e.identity ? QString::number(e.identity->fault) : None;
        lines << QStringList{QString::number(r.address),
                             csvCell(r.model, false),
                             r.serial,
                             csvCell(r.firmware, true),
                             csvCell(r.status, true),
                             fault,
                             r.bit,
                             r.voltage,
                             r.temperature,
                             csvCell(r.attention.join(QStringLiteral("; ")), true)}
                     .join(QLatin1Char(','));
    }
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace fh::visit
