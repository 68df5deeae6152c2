#pragma once
// The line worker: the one thread that owns the serial port. It runs one exchange at a
// time: queued commands first, else the current cycle exchange, and hands every result back
// as a value through queued signals, so no screen ever blocks on the line.
#include "link/clock.h"
#include "link/exchange.h"
#include "link/linemode.h"
#include "link/serialport.h"
#include "link/wakeevent.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <QThread>
#include <vector>

namespace fh {

class Link;

class LineWorker : public QThread {
    Q_OBJECT
public:
    // Builds the port on the worker thread (a QSerialPort must live where it is used).
    using PortFactory = std::function<std::unique_ptr<SerialPort>()>;

    // check judges every reply (detector/replycheck.h): nothing is an answer without it.
    LineWorker(PortFactory factory, ReplyChecker check, Clock& clock = SteadyClock::instance(),
               QObject* parent = nullptr);
    ~LineWorker() override; // stops and joins; safe with an exchange in flight

    // Starts the thread and opens the port; blocks until the first open has succeeded or
    // failed. On failure the thread has ended and errorText says why.
    bool openPort(QString* errorText = nullptr);
    // Starts the thread and returns at once, for a service that must not wait for a line:
    // portStateChanged says whether the port opened, and one that cannot be opened is tried
    // again every reopen interval, as one that went away.
    void openPortRetrying();
    // How the line driver is keyed and whether the adapter echoes; set before openPort.
    // A driver that refuses kernel keying fails the open, naming the device and the mode.
    void setLineMode(LineMode mode);
    void setEcho(bool echo);
    LineMode lineMode() const;
    bool echo() const;
    // What the line is, for records of a visit: the device, "tcp://HOST:PORT", "simulated".
    void setLineName(const QString& name);
    QString lineName() const;
    void stop();
    // Asks the thread to end and returns at once; stop() or wait() joins it.
    void requestStop();

    // Everything below may be called from any thread.
    quint64 submit(const Transaction& t);
    // The exchange repeated whenever no command is queued; nullopt stops the cycle.
    void setCycle(std::optional<Transaction> cycle);
    // While held, no cycle exchange starts (commands still run).
    void setHeld(bool held);
    // Cycle exchanges end their collection once a reply of known length is in
    // (Transaction::fastReply) instead of always waiting out the 100 ms window.
    void setFastCycle(bool fast);
    void setTurnaroundDelay(int us);
    int turnaroundDelay() const;
    bool portIsOpen() const;
    // Milliseconds between attempts to reopen a device that went away.
    void setReopenIntervalMs(int ms);
    // The reply check's verdicts so far, by kind.
    ReplyFaultCounts replyFaults() const;

    // The signals below are always emitted on the thread that owns this object. An exchange
    // reaches it as one message, however many signals it carries.
signals:
    void commandDone(fh::Exchange result);
    void cycleDone(fh::Exchange result);
    // Every frame sent and every reply collected (or silence), in order, just before the
    // result of the exchange it belongs to (for a confirmed write, each attempt's frames
    // before the next attempt's writeAttempt). Recorded only while something is connected.
    void traffic(fh::Traffic frame);
    // A confirmed write (command `id`) begins its attempt `attempt` of at most `attempts`, so
    // a screen can say how far the write has got while it runs.
    void writeAttempt(quint64 id, int attempt, int attempts);
    // The device went away (open false) or came back (open true).
    void portStateChanged(bool open, QString message);
    // Something worth telling the operator once (e.g. the device cannot do RTS).
    void notice(QString message);

protected:
    void run() override;

private:
    template <typename Fn> void post(Fn fn);
    bool nextJob(Transaction* job, bool* isCycle, quint64* id);
    // Hands the result back with the frames recorded since the last hand-over.
    void deliver(Exchange x);
    bool listening() const;
    bool ensureOpen();
    // Tries to open the port every reopen interval until it opens (true) or the worker stops;
    // commands meanwhile fail at once with `gone` as the reason.
    bool reopen(const QString& gone);
    // Tells the operator once per run about an echo the line settings do not expect.
    void noticeEcho(ReplyFault fault);

    void countVerdict(const ReplyVerdict& v);

    PortFactory factory_;
    ReplyChecker check_;
    Clock& clock_;
    std::array<std::atomic<quint64>, ReplyFaultKinds> faultCounts_{};
    std::atomic<quint64> acceptedBadCheck_{0};
    std::atomic<quint64> trailingBytes_{0};
    std::atomic<quint64> overflowBytes_{0};
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<Link> link_;
    WakeEvent stopEvent_;         // raised by stop(): ends the wait in progress at once
    std::vector<Traffic> frames_; // recorded on the worker thread, not yet handed over

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<quint64, Transaction>> queue_;
    std::optional<Transaction> cycle_;
    bool held_ = false;
    bool stopping_ = false;
    qint64 holdUntilUs_ = 0; // on clock_
    // On a clock that moves only when slept, a cycle result not yet taken by the screen
    // thread: there the worker waits for it rather than race through thousands of polls.
    bool cycleUnread_ = false;
    quint64 nextId_ = 1;
    int turnaround_ = 4000;
    bool fastCycle_ = false;
    int reopenMs_ = 1000;
    bool open_ = false;
    LineMode mode_ = LineMode::Rts;
    bool echo_ = false;
    QString lineName_;
    bool echoSaid_[3] = {false, false, false}; // Echo, EchoMissing, EchoDiffers

    // first-open hand-shake
    bool openDone_ = false;
    bool openOk_ = false;
    bool retryOpen_ = false;
    QString openError_;
};

} // namespace fh
