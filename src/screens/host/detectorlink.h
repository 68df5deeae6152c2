#pragma once
// The detector at the address the main screen is set to, and the status poll that feeds it:
// the line worker's cycle, the detector record and what the main screen shows of it, master
// mode, the address, whether the port is there, and holding the poll off the line.
#include "detector/detectorrecord.h"
#include "link/exchange.h"

#include <QObject>

namespace fh {

class LineWorker;
class MessageLine;

class DetectorLink : public QObject {
    Q_OBJECT
public:
    static constexpr quint8 MaxAddress = 247;
    static constexpr int FirstReplySettleMs = 150; // quiet line after the first, unread command

    // The worker must outlive the link.
    DetectorLink(LineWorker& worker, MessageLine& messages, QObject* parent = nullptr);

    // Opens the chosen device; false with the reason when it cannot be opened.
    bool openPort(QString* errorText);
    // First call: one status command without waiting for its reply, then the poll cycle;
    // later calls make the cycle poll the current target at once.
    void activate();
    // The poll of the current target becomes the line's cycle again (after a screen that
    // had its own cycle).
    void restartCycle();

    void toggleMasterMode();
    void stepAddress(int by); // clamped to 1..MaxAddress; ends master mode
    void setAddress(quint8 address);
    // Holds the poll off the line (counted: each true needs its false).
    void holdLine(bool held);

    // A status reply collected by another part's command (a tuning poll), shown as a poll's.
    // True when it was a good status reply.
    bool applyPoll(const Exchange& x);

    const DetectorRecord& record() const { return record_; }
    const StatusDisplay& display() const { return display_; }
    QString replyHex() const { return replyHex_; }
    bool polledOnce() const { return polledOnce_; }
    // No poll has ended at the current target yet.
    bool unheard() const { return unheard_; }
    bool portOpen() const { return portOpen_; }
    // The status command to the current target (address 0 in master mode).
    QByteArray pollFrame() const;

signals:
    // Anything of the detector or the link has changed.
    void changed();
    // A status reply brought another status: the status log records it.
    void statusChanged();
    // Another address: what the old one was doing (a BIT message) is over.
    void addressChanged();

private:
    void cycleResult(const Exchange& x);
    void targetChanged(quint8 addressBefore);
    void showAddress();

    LineWorker& worker_;
    MessageLine& messages_;
    DetectorRecord record_;
    StatusDisplay display_;
    QString replyHex_;
    // Every poll's result is matched against the poll frame: built once per target.
    mutable QByteArray pollFrame_;
    mutable int pollFrameTarget_ = -1;
    int holdCount_ = 0;
    bool unheard_ = true;
    bool portOpen_ = true;
    bool activated_ = false;
    bool polledOnce_ = false;
};

} // namespace fh
