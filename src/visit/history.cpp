#include "visit/history.h"

#include "visit/recordjson.h"

#include <algorithm>
#include <QDir>
#include <QFileInfo>

namespace fh::visit {

namespace {

QByteArray csvText(const QString& text) {
    QByteArray t = text.toUtf8();
    if (!t.contains(',') && !t.contains('"') && !t.contains('\n') && !t.contains('\r'))
        return t;
    return '"' + t.replace('"', "\"\"") + '"';
}

} // namespace

std::optional<History> ReadHistory(const QString& folder, quint16 serial, QString* error) {
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable()) {
        *error = QStringLiteral("%1: %2").arg(folder, info.exists()
                                                          ? QStringLiteral("not a readable folder")
                                                          : QStringLiteral("no such folder"));
        return std::nullopt;
    }
    History h;
    const QFileInfoList files =
        QDir(folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : files) {
        QString why;
        const std::optional<QJsonObject> top = ReadJsonFile(f.filePath(), &why);
        // A saved setup shares the folder with the records now and then; it is no visit.
        if (top && top->value(QStringLiteral("format"))
                       .toString()
                       .startsWith(QStringLiteral("flamehost-setup/")))
            continue;
        const std::optional<SiteRecord> record =
            top ? ReadRecordFile(f.filePath(), &why) : std::nullopt;
        if (!record) {
            h.unreadable << why;
            continue;
        }
        ++h.recordsRead;
        for (const DetectorEntry& d : record->detectors) {
            if (!d.identity || d.identity->serial != serial)
                continue;
            h.rows.push_back({record->visit.started, record->visit.site, f.fileName(), d.address,
                              *d.identity, d.readings});
        }
    }
    std::stable_sort(h.rows.begin(), h.rows.end(),
                     [](const HistoryRow& a, const HistoryRow& b) { return a.time < b.time; });
    return h;
}

QByteArray HistoryCsv(const History& history) {
    QByteArray out = "time,site,address,status,fault,sum4,sum45,sum5,noise4,noise45,noise5,file\n";
    for (const HistoryRow& r : history.rows) {
        out += TimeText(r.time).toLatin1() + ',' + csvText(r.site) + ',' +
               QByteArray::number(r.address) + ',' +
               csvText(StatusCharText(r.identity.statusChar)) + ',' +
               QByteArray::number(r.identity.fault);
        if (r.readings) {
            for (float sum : {r.readings->sum4, r.readings->sum45, r.readings->sum5})
                out += ',' + QByteArray::number(sum, 'f', 2);
            for (quint8 noise : {r.readings->noise4, r.readings->noise45, r.readings->noise5})
                out += ',' + QByteArray::number(noise);
        } else {
            out += ",,,,,,";
        }
        out += ',' + csvText(r.file) + '\n';
    }
    return out;
}

} // namespace fh::visit
