#pragma once
// The bus overview's table without widgets: a scan of an address range for detectors, then
// every found detector polled round robin and kept live. It owns the line while it runs: the
// caller gives the main screen's cycle back when it is done (ScreenContext::screenClosed).
// A row shows the latest good reply of its address; once a poll fails, or the port is lost,
// those values are stale: shown grey, with the time they were last heard.
#include "link/exchange.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <vector>

namespace fh {

class LineWorker;

class BusOverview : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int DefaultFirstByteMs = 60;
    static constexpr int LiveFirstByteMs = 600;
    static constexpr int HighlightMs = 3000;
    enum Column { Address, Model, Serial, Status, Link, LastChange, LastHeard, Columns };

    struct Entry {
        int address = 0;
        QString model;
        quint16 serial = 0;
        QString status;
        quint8 statusByte = 0;
        bool linkGood = true;
        bool lineLost = false; // the port went away after the last poll of this row
        QDateTime lastHeard;   // the latest good reply
        QDateTime lastChange;
        QDateTime highlightUntil;
    };

    explicit BusOverview(LineWorker& worker, QObject* parent = nullptr);

    // Takes the line, forgets the table, and asks every address from..to with a first-byte
    // window of firstByteMs; then polls the found detectors round robin until stop().
    void scan(int from, int to, int firstByteMs = DefaultFirstByteMs);
    // Ends the scan where it is; the detectors found so far are polled from then on.
    void cancel();
    // Sends nothing more; an exchange in flight ends in the worker and is ignored.
    void stop();
    // After stop(): polls the detectors found so far again (a scan stopped midway stays ended).
    void resume();
    bool scanning() const { return scanning_; }
    bool polling() const { return polling_; }

    const std::vector<Entry>& entries() const { return entries_; }
    // Addresses whose replies came with bad check bytes during the scan.
    const QList<int>& garbled() const { return garbled_; }
    QString garbledText() const;
    // The port went away: nothing is polled until it is back, and no row is live.
    bool lineLost() const { return lineLost_; }
    // What happened to the line last, with its time ("" while nothing has).
    QString lineText() const { return lineText_; }
    QString csv() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

signals:
    void progress(int done, int total);
    void scanEnded(bool cancelled);
    void garbledChanged();
    void lineChanged();

private:
    void next();
    void done(const Exchange& x);
    void found(int address, const QByteArray& reply);
    void polled(Entry& e, int row, const Exchange& x);
    void portState(bool open, const QString& why);
    void markChanged(Entry& e);
    QString cell(const Entry& e, int column) const;

    LineWorker& worker_;
    std::vector<Entry> entries_;
    QList<int> garbled_;
    QString lineText_;
    bool lineLost_ = false;
    bool scanning_ = false, polling_ = false;
    int from_ = 1, to_ = 247, at_ = 1, firstByteMs_ = DefaultFirstByteMs;
    size_t turn_ = 0;
    quint64 pending_ = 0;
};

} // namespace fh
