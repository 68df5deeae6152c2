#pragma once
// One detector across the visits: the readings its serial number had in each site record of a
// folder, oldest first, for a CSV and a chart of how its optics drift.
#include "visit/record.h"

#include <QByteArray>
#include <QStringList>

namespace fh::visit {

struct HistoryRow {
    QDateTime time; // when the visit started
    QString site;
    QString file; // the record's file name
    quint8 address = 0;
    Identity identity;
    std::optional<Readings> readings; // nothing when the visit could not read them
};

struct History {
    std::vector<HistoryRow> rows;
    int recordsRead = 0;
    // "PATH: why" for every file that looked like a site record and could not be read.
    QStringList unreadable;
};

// Every *.json of the folder (not its subfolders) that is a site record; setup files are
// passed over. A folder that cannot be listed gives *error and nothing.
std::optional<History> ReadHistory(const QString& folder, quint16 serial, QString* error);

// "time,site,address,status,fault,sum4,sum45,sum5,noise4,noise45,noise5,file", LF line ends;
// the readings' fields empty when they were not read.
QByteArray HistoryCsv(const History& history);

} // namespace fh::visit
