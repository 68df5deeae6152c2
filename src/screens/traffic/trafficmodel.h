#pragma once
// The line traffic window's rows: one per frame the worker sent or collected (and per window
// that passed in silence), with what it means in words, and the counters above the table.
// No widgets: the window is a view over it, and a bench can run it without a screen.
#include "detector/linewords.h"
#include "link/exchange.h"

#include <deque>
#include <QAbstractTableModel>
#include <vector>

class QTimer;

namespace fh {

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int DefaultMaxRows = 20'000;
    // Rows reach the table in batches, at most this often, so a view over it repaints at most
    // ten times a second however fast the line runs.
    static constexpr int BatchMs = 100;
    enum Column {
        Time,
        Direction,
        Address,
        Function,
        Length,
        Bytes,
        Check,
        Meaning,
        After,
        Columns
    };

    struct Row {
        qint64 timeUs = 0; // since the window opened
        qint64 wallMs = 0; // the wall clock, since the epoch
        Traffic::Direction direction = Traffic::Sent;
        QByteArray bytes;
        bool checkGood = false;
        QString meaning;
        qint64 afterUs = -1; // replies: end of the request to the first byte
    };

    // originUs: the worker clock's time when the window opened.
    explicit TrafficModel(qint64 originUs, int maxRows = DefaultMaxRows, QObject* parent = nullptr);

    // Counted always; shown unless paused, with the next batch.
    void add(const Traffic& frame);
    // Puts the rows waiting for the next batch into the table now.
    void flush();
    void setPaused(bool paused) { paused_ = paused; }
    bool paused() const { return paused_; }
    // Empties the table and resets the counters.
    void clear();

    const LineCounters& counters() const { return counters_; }
    // Rows dropped to keep the newest maxRows.
    qint64 droppedRows() const { return dropped_; }
    // "requests 3, ... ; 12 rows dropped" for the line above the table.
    QString countersText() const;

    // The rows as CSV (a header first) or as aligned plain text; all rows when rows is empty.
    QString csv(const QList<int>& rows = {}) const;
    QString plainText(const QList<int>& rows = {}) const;
    // Writes csv() or plainText() to path; false with *error on failure.
    bool save(const QString& path, bool asCsv, QString* error) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

signals:
    void countersChanged();

private:
    QString cell(const Row& r, int column) const;
    QList<int> allOr(const QList<int>& rows) const;

    qint64 originUs_;
    int maxRows_;
    std::deque<Row> rows_;
    std::vector<Row> pending_; // for the next batch
    bool countersDirty_ = false;
    QTimer* batch_;
    LineCounters counters_;
    qint64 dropped_ = 0;
    bool paused_ = false;
};

} // namespace fh
