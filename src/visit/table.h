#pragma once
// The detector table of a visit, as the report's first page and the CSV export show it, and
// what about each detector needs attention.
#include "visit/record.h"

#include <QStringList>
#include <vector>

namespace fh::visit {

struct TableRow {
    int address = 0;
    QString model, serial, firmware, status, bit, voltage, temperature; // "-" when not read
    QStringList attention; // in words; empty when nothing needs it
};

// Fault, a status other than N, a BIT not performed, settings read outside their lists,
// reply faults, parts not read.
QStringList Attention(const DetectorEntry& entry);

std::vector<TableRow> DetectorTable(const SiteRecord& record);

// Text from the line as it may be shown or filed: unprintable characters as "?".
QString Printable(const QString& text);

// The table as CSV for spreadsheets (RFC 4180, CR LF): address, model, serial, firmware,
// status, fault, bit, voltage, temperature, attention.
QByteArray DetectorTableCsv(const SiteRecord& record);

} // namespace fh::visit
