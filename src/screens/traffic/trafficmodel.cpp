#include "screens/traffic/trafficmodel.h"

#include "screens/common/tablehelpers.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTimer>

namespace fh {

namespace {

const char* const Headers[] = {"Time (ms)", "Direction", "Address", "Function",        "Length",
                               "Bytes",     "Check",     "Meaning", "Reply after (ms)"};

} // namespace

TrafficModel::TrafficModel(qint64 originUs, int maxRows, QObject* parent)
    : QAbstractTableModel(parent), originUs_(originUs), maxRows_(std::max(1, maxRows)),
      batch_(new QTimer(this)) {
    batch_->setSingleShot(true);
    batch_->setInterval(BatchMs);
    connect(batch_, &QTimer::timeout, this, &TrafficModel::flush);
}

void TrafficModel::add(const Traffic& t) {
    Row r;
    r.timeUs = t.timeUs - originUs_;
    r.wallMs = QDateTime::currentMSecsSinceEpoch();
    r.direction = t.direction;
    r.bytes = t.bytes;
    r.checkGood = CheckBytesGood(t.bytes);
    if (t.direction == Traffic::Sent) {
        counters_.countRequest();
        r.meaning = DescribeRequest(t.bytes);
    } else {
        const ReplyVerdict& v = t.verdict; // the worker's reply check
        counters_.countReply(t.bytes, v);
        r.meaning = DescribeReply(t.request, t.bytes, v, int(t.sinceSentUs / 1000));
        if (!t.bytes.isEmpty())
            r.afterUs = t.sinceSentUs;
    }
    countersDirty_ = true;
    if (!paused_)
        pending_.push_back(std::move(r));
    if (!batch_->isActive())
        batch_->start();
}

void TrafficModel::flush() {
    batch_->stop();
    if (countersDirty_) {
        countersDirty_ = false;
        emit countersChanged();
    }
    if (pending_.empty())
        return;
    // Only the newest maxRows are kept, of a batch as of the table.
    const qsizetype surplus = qsizetype(pending_.size()) - maxRows_;
    if (surplus > 0) {
        pending_.erase(pending_.begin(), pending_.begin() + surplus);
        dropped_ += surplus;
    }
    const int overflow = int(rows_.size() + pending_.size()) - maxRows_;
    if (overflow > 0) {
        beginRemoveRows({}, 0, overflow - 1);
        rows_.erase(rows_.begin(), rows_.begin() + overflow);
        dropped_ += overflow;
        endRemoveRows();
    }
    const int at = int(rows_.size());
    beginInsertRows({}, at, at + int(pending_.size()) - 1);
    for (Row& r : pending_)
        rows_.push_back(std::move(r));
    pending_.clear();
    endInsertRows();
}

void TrafficModel::clear() {
    batch_->stop();
    pending_.clear();
    countersDirty_ = false;
    beginResetModel();
    rows_.clear();
    counters_ = {};
    dropped_ = 0;
    endResetModel();
    emit countersChanged();
}

QString TrafficModel::countersText() const {
    QString text = counters_.text();
    if (dropped_ > 0)
        text += QStringLiteral("; %1 oldest rows dropped").arg(dropped_);
    if (paused_)
        text += QStringLiteral("; paused");
    return text;
}

QString TrafficModel::cell(const Row& r, int column) const {
    switch (column) {
    case Time:
        return QString::number(r.timeUs / 1000.0, 'f', 1);
    case Direction:
        return r.direction == Traffic::Sent ? QStringLiteral("host → line")
                                            : QStringLiteral("line → host");
    case Address:
        return r.bytes.isEmpty() ? QString() : QString::number(FrameAddress(r.bytes));
    case Function:
        return r.bytes.size() < 2 ? QString() : QString::number(FrameFunction(r.bytes));
    case Length:
        return QString::number(r.bytes.size());
    case Bytes:
        return QString::fromLatin1(r.bytes.toHex(' '));
    case Check:
        return r.bytes.isEmpty() ? QString()
               : r.checkGood     ? QStringLiteral("good")
                                 : QStringLiteral("bad");
    case Meaning:
        return r.meaning;
    case After:
        return r.afterUs < 0 ? QString() : QString::number(r.afterUs / 1000.0, 'f', 1);
    default:
        return {};
    }
}

QList<int> TrafficModel::allOr(const QList<int>& rows) const {
    if (!rows.isEmpty())
        return rows;
    QList<int> all;
    for (int i = 0; i < int(rows_.size()); ++i)
        all << i;
    return all;
}

QString TrafficModel::csv(const QList<int>& rows) const {
    QStringList head;
    for (const char* h : Headers)
        head << QString::fromLatin1(h);
    QStringList lines{CsvRow(head)};
    for (int i : allOr(rows)) {
        if (i < 0 || i >= int(rows_.size()))
            continue;
        QStringList fields;
        for (int c = 0; c < Columns; ++c)
            fields << cell(rows_[size_t(i)], c);
        lines << CsvRow(fields);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString TrafficModel::plainText(const QList<int>& rows) const {
    QStringList lines;
    for (int i : allOr(rows)) {
        if (i < 0 || i >= int(rows_.size()))
            continue;
        const Row& r = rows_[size_t(i)];
        QString line = QStringLiteral("%1  %2  %3")
                           .arg(cell(r, Time), 10)
                           .arg(cell(r, Direction), cell(r, Meaning));
        if (r.afterUs >= 0)
            line += QStringLiteral(" (+%1 ms)").arg(cell(r, After));
        if (!r.bytes.isEmpty())
            line += QStringLiteral("  [%1]").arg(cell(r, Bytes));
        lines << line;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool TrafficModel::save(const QString& path, bool asCsv, QString* error) const {
    // Written aside and renamed, so a failed save never leaves half a file.
    QSaveFile file(path);
    const QByteArray bytes = (asCsv ? csv() : plainText()).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size()))
        return {};
    const Row& r = rows_[size_t(index.row())];
    if (role == Qt::DisplayRole)
        return cell(r, index.column());
    if (role == Qt::ToolTipRole && index.column() == Time)
        return QDateTime::fromMSecsSinceEpoch(r.wallMs).toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= Columns)
        return {};
    return QString::fromLatin1(Headers[section]);
}

} // namespace fh
