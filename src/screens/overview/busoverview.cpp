#include "screens/overview/busoverview.h"

#include "detector/busscan.h"
#include "detector/detectorrecord.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "screens/common/tablehelpers.h"

#include <QColor>
#include <QTimer>

namespace fh {

namespace {

const char* const Headers[] = {"Address", "Model",       "Serial",    "Status",
                               "Link",    "Last change", "Last heard"};
const QString TimeOfDay = QStringLiteral("HH:mm:ss");

} // namespace

BusOverview::BusOverview(LineWorker& worker, QObject* parent)
    : QAbstractTableModel(parent), worker_(worker) {
    connect(&worker_, &LineWorker::commandDone, this, &BusOverview::done);
    connect(&worker_, &LineWorker::portStateChanged, this, &BusOverview::portState);
}

void BusOverview::scan(int from, int to, int firstByteMs) {
    worker_.setCycle(std::nullopt); // the main screen's poll is off the line meanwhile
    beginResetModel();
    entries_.clear();
    endResetModel();
    garbled_.clear();
    emit garbledChanged();
    from_ = std::clamp(from, 1, 247);
    to_ = std::clamp(to, from_, 247);
    firstByteMs_ = std::clamp(firstByteMs, 1, 60'000);
    at_ = from_;
    scanning_ = true;
    polling_ = false;
    emit progress(0, to_ - from_ + 1);
    if (!pending_)
        next();
}

void BusOverview::cancel() {
    if (!scanning_)
        return;
    scanning_ = false;
    polling_ = true;
    emit scanEnded(true);
    if (!pending_)
        next();
}

void BusOverview::stop() {
    scanning_ = polling_ = false;
    pending_ = 0;
}

void BusOverview::resume() {
    if (scanning_ || polling_)
        return;
    polling_ = true;
    worker_.setCycle(std::nullopt);
    if (!pending_)
        next();
}

void BusOverview::next() {
    Transaction t;
    t.pattern = Pattern::Poll;
    t.fastReply = true;
    if (scanning_ && at_ > to_) {
        scanning_ = false;
        polling_ = true;
        emit scanEnded(false);
    }
    if (scanning_) {
        t.frame = SendCommand(quint8(at_), cmd::Status);
        t.firstByteMs = firstByteMs_;
    } else if (polling_ && !entries_.empty()) {
        turn_ %= entries_.size();
        t.frame = SendCommand(quint8(entries_[turn_].address), cmd::Status);
        t.firstByteMs = LiveFirstByteMs;
    } else {
        pending_ = 0;
        return;
    }
    pending_ = worker_.submit(t);
}

void BusOverview::done(const Exchange& x) {
    if (x.id != pending_ || pending_ == 0)
        return;
    pending_ = 0;
    if (x.portError) {
        // The worker says why a moment later; the rows stop being live now.
        if (!lineLost_)
            portState(false, QString());
        // The worker answers at once while the device is away: ask again in a second
        // instead of spinning, at the same address.
        QTimer::singleShot(1000, this, [this] {
            if (!pending_)
                next();
        });
        return;
    }
    const int address = static_cast<quint8>(x.request.at(0));
    if (scanning_ && address == at_) {
        const ScanFinding finding = JudgeScanPoll(x).finding;
        if (finding == ScanFinding::Detector)
            found(address, x.reply);
        else if (finding == ScanFinding::Garbled && !garbled_.contains(address)) {
            garbled_ << address;
            emit garbledChanged();
        }
        ++at_;
        emit progress(at_ - from_, to_ - from_ + 1);
    } else if (polling_ && !entries_.empty()) {
        turn_ %= entries_.size();
        if (entries_[turn_].address == address)
            polled(entries_[turn_], int(turn_), x);
        ++turn_;
    }
    next();
}

void BusOverview::found(int address, const QByteArray& reply) {
    DetectorRecord record;
    record.Address = quint8(address);
    DecodeStatusReply(reply, record);
    Entry e;
    e.address = address;
    e.model = record.ModelName;
    e.serial = record.SerialNumber;
    e.status = StatusText(record);
    e.statusByte = static_cast<quint8>(reply.at(statusbyte::Status));
    e.lastChange = QDateTime::currentDateTime();
    e.lastHeard = e.lastChange;
    const int row = int(entries_.size());
    beginInsertRows({}, row, row);
    entries_.push_back(e);
    endInsertRows();
}

void BusOverview::polled(Entry& e, int row, const Exchange& x) {
    const bool good = JudgeScanPoll(x).finding == ScanFinding::Detector;
    bool changed = good != e.linkGood || e.lineLost;
    e.linkGood = good;
    e.lineLost = false;
    if (good) {
        e.lastHeard = QDateTime::currentDateTime();
        DetectorRecord record;
        record.Address = quint8(e.address);
        DecodeStatusReply(x.reply, record);
        const quint8 status = static_cast<quint8>(x.reply.at(statusbyte::Status));
        changed = changed || status != e.statusByte || StatusText(record) != e.status;
        e.model = record.ModelName;
        e.serial = record.SerialNumber;
        e.status = StatusText(record);
        e.statusByte = status;
    }
    if (changed)
        markChanged(e);
    emit dataChanged(index(row, 0), index(row, Columns - 1));
}

void BusOverview::markChanged(Entry& e) {
    e.lastChange = QDateTime::currentDateTime();
    e.highlightUntil = e.lastChange.addMSecs(HighlightMs);
    // Repaint once the highlight is over.
    QTimer::singleShot(HighlightMs + 50, this, [this] {
        if (!entries_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
    });
}

void BusOverview::portState(bool open, const QString& why) {
    if (open && !lineLost_)
        return;
    const QString at = QDateTime::currentDateTime().toString(TimeOfDay);
    const QString cause = why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why);
    if (open) {
        // Each row turns live again with its next poll.
        lineLost_ = false;
        lineText_ = QStringLiteral("%1  The line is back%2: polling again.").arg(at, cause);
    } else {
        lineText_ = QStringLiteral("%1  The line is lost%2: no row is live; each shows what "
                                   "was last heard. Polling resumes when the port is back.")
                        .arg(at, cause);
        if (!lineLost_) {
            lineLost_ = true;
            for (Entry& e : entries_) {
                e.lineLost = true;
                markChanged(e);
            }
            if (!entries_.empty())
                emit dataChanged(index(0, 0), index(rowCount() - 1, Columns - 1));
        }
    }
    emit lineChanged();
}

QString BusOverview::garbledText() const {
    QStringList addresses;
    for (int a : garbled_)
        addresses << QString::number(a);
    if (addresses.isEmpty())
        return {};
    return QStringLiteral("Address %1: garbled — two detectors on one address?")
        .arg(addresses.join(QStringLiteral(", ")));
}

QString BusOverview::cell(const Entry& e, int column) const {
    switch (column) {
    case Address:
        return QString::number(e.address);
    case Model:
        return e.model;
    case Serial:
        return QString::number(e.serial);
    case Status:
        return e.status;
    case Link:
        return e.lineLost   ? QStringLiteral("line lost")
               : e.linkGood ? QStringLiteral("GOOD")
                            : QStringLiteral("BAD");
    case LastChange:
        return e.lastChange.toString(TimeOfDay);
    case LastHeard:
        return e.lastHeard.toString(TimeOfDay);
    default:
        return {};
    }
}

QString BusOverview::csv() const {
    QStringList head;
    for (const char* h : Headers)
        head << QString::fromLatin1(h);
    QStringList lines{CsvRow(head)};
    for (const Entry& e : entries_) {
        QStringList fields;
        for (int c = 0; c < Columns; ++c)
            fields << cell(e, c);
        // The full date in the file; the table shows the time of day.
        fields[LastChange] = e.lastChange.toString(Qt::ISODate);
        fields[LastHeard] = e.lastHeard.toString(Qt::ISODate);
        lines << CsvRow(fields);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int BusOverview::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(entries_.size());
}

int BusOverview::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant BusOverview::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(entries_.size()))
        return {};
    const Entry& e = entries_[size_t(index.row())];
    const bool stale = e.lineLost || !e.linkGood;
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return cell(e, column);
    case Qt::BackgroundRole:
        if (e.highlightUntil.isValid() && QDateTime::currentDateTime() < e.highlightUntil)
            return QColor(255, 255, 0);
        if (column == Link)
            return e.lineLost   ? QColor(192, 192, 192)
                   : e.linkGood ? QColor(0, 255, 0)
                                : QColor(255, 0, 0);
        return {};
    case Qt::ForegroundRole:
        // What the detector said before it fell silent: still there, but not to be read as now.
        if (stale && (column == Model || column == Serial || column == Status))
            return QColor(128, 128, 128);
        return {};
    case Qt::ToolTipRole:
        if (stale)
            return QStringLiteral("Not heard since %1: model, serial and status are the last "
                                  "ones heard.")
                .arg(e.lastHeard.toString(TimeOfDay));
        return {};
    default:
        return {};
    }
}

QVariant BusOverview::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return {};
    return QString::fromLatin1(Headers[section]);
}

} // namespace fh
