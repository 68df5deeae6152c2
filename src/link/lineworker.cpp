#include "link/lineworker.h"

#include "link/link.h"

#include <chrono>
#include <QMetaMethod>
#include <utility>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace fh {

// Every signal goes out on the thread that owns this object (the screen thread), whatever
// connection the receiver chose: a direct connection, as QSignalSpy makes, would otherwise
// run on the worker thread, beside the screen thread's own reads.
template <typename Fn> void LineWorker::post(Fn fn) {
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

LineWorker::LineWorker(PortFactory factory, ReplyChecker check, Clock& clock, QObject* parent)
    : QThread(parent), factory_(std::move(factory)), check_(std::move(check)), clock_(clock) {
    qRegisterMetaType<fh::Exchange>();
    qRegisterMetaType<fh::Traffic>();
}

LineWorker::~LineWorker() {
    stop();
}

void LineWorker::stop() {
    requestStop();
    wait();
}

void LineWorker::requestStop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopEvent_.raise();
    wake_.notify_all();
}

bool LineWorker::openPort(QString* errorText) {
    {
        std::lock_guard lock(mutex_);
        openDone_ = false;
        stopping_ = false;
        retryOpen_ = false;
    }
    stopEvent_.clear();
    start();
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return openDone_; });
    const bool ok = openOk_;
    if (errorText)
        *errorText = openError_;
    lock.unlock();
    if (!ok)
        wait();
    return ok;
}

void LineWorker::openPortRetrying() {
    {
        std::lock_guard lock(mutex_);
        openDone_ = false;
        stopping_ = false;
        retryOpen_ = true;
    }
    stopEvent_.clear();
    start();
}

quint64 LineWorker::submit(const Transaction& t) {
    quint64 id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        queue_.emplace_back(id, t);
    }
    wake_.notify_all();
    return id;
}

void LineWorker::setCycle(std::optional<Transaction> cycle) {
    {
        std::lock_guard lock(mutex_);
        cycle_ = std::move(cycle);
    }
    wake_.notify_all();
}

void LineWorker::setHeld(bool held) {
    {
        std::lock_guard lock(mutex_);
        held_ = held;
    }
    wake_.notify_all();
}

void LineWorker::setLineMode(LineMode mode) {
    std::lock_guard lock(mutex_);
    mode_ = mode;
}

void LineWorker::setEcho(bool echo) {
    std::lock_guard lock(mutex_);
    echo_ = echo;
}

LineMode LineWorker::lineMode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

bool LineWorker::echo() const {
    std::lock_guard lock(mutex_);
    return echo_;
}

void LineWorker::setLineName(const QString& name) {
    std::lock_guard lock(mutex_);
    lineName_ = name;
}

QString LineWorker::lineName() const {
    std::lock_guard lock(mutex_);
    return lineName_;
}

void LineWorker::setTurnaroundDelay(int us) {
    std::lock_guard lock(mutex_);
    turnaround_ = us;
}

int LineWorker::turnaroundDelay() const {
    std::lock_guard lock(mutex_);
    return turnaround_;
}

void LineWorker::setFastCycle(bool fast) {
    std::lock_guard lock(mutex_);
    fastCycle_ = fast;
}

bool LineWorker::portIsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

void LineWorker::setReopenIntervalMs(int ms) {
    std::lock_guard lock(mutex_);
    reopenMs_ = std::max(1, ms);
}

void LineWorker::countVerdict(const ReplyVerdict& v) {
    faultCounts_[size_t(v.fault)].fetch_add(1, std::memory_order_relaxed);
    if (v.ok() && v.checkBytesBad)
        acceptedBadCheck_.fetch_add(1, std::memory_order_relaxed);
    if (v.ok())
        trailingBytes_.fetch_add(quint64(v.trailingBytes), std::memory_order_relaxed);
}

ReplyFaultCounts LineWorker::replyFaults() const {
    ReplyFaultCounts c;
    for (size_t i = 0; i < c.byKind.size(); ++i)
        c.byKind[i] = faultCounts_[i].load(std::memory_order_relaxed);
    c.acceptedBadCheck = acceptedBadCheck_.load(std::memory_order_relaxed);
    c.trailingBytes = trailingBytes_.load(std::memory_order_relaxed);
    c.overflowBytes = overflowBytes_.load(std::memory_order_relaxed);
    return c;
}

bool LineWorker::nextJob(Transaction* job, bool* isCycle, quint64* id) {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_)
            return false;
        if (!queue_.empty()) {
            *id = queue_.front().first;
            *job = std::move(queue_.front().second);
            queue_.pop_front();
            *isCycle = false;
            return true;
        }
        const qint64 holdLeftUs = holdUntilUs_ - clock_.nowUs();
        const bool cycleDue = cycle_ && !held_ && !cycleUnread_;
        if (cycleDue && holdLeftUs <= 0) {
            *job = *cycle_;
            *id = nextId_++;
            *isCycle = true;
            return true;
        }
        if (!cycleDue) {
            wake_.wait(lock);
        } else if (clock_.runsWithWall()) {
            wake_.wait_for(lock, std::chrono::microseconds(holdLeftUs));
        } else {
            // Time that moves only when slept through: sleep the hold away.
            const qint64 until = holdUntilUs_;
            lock.unlock();
            clock_.sleepUntilUs(until);
            lock.lock();
        }
    }
}

bool LineWorker::listening() const {
    static const QMetaMethod signal = QMetaMethod::fromSignal(&LineWorker::traffic);
    return isSignalConnected(signal);
}

void LineWorker::deliver(Exchange x) {
    // On wall time the next poll never waits for the screen thread: a poll takes a window of
    // the line, so results come no faster than a screen takes them. Virtual time has no such
    // pace, so there the next cycle exchange waits until this result has been taken.
    const bool gate = x.cycle && !clock_.runsWithWall();
    if (gate) {
        std::lock_guard lock(mutex_);
        cycleUnread_ = true;
    }
    post([this, x = std::move(x), frames = std::exchange(frames_, {}), gate] {
        for (const Traffic& t : frames)
            emit traffic(t);
        if (!x.cycle) {
            emit commandDone(x);
            return;
        }
        if (gate) {
            {
                std::lock_guard lock(mutex_);
                cycleUnread_ = false;
            }
            wake_.notify_all();
        }
        emit cycleDone(x);
    });
}

bool LineWorker::ensureOpen() {
    if (port_->isOpen() && !port_->lost())
        return true;
    port_->close();
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    const QString gone = port_->errorText().isEmpty()
                             ? QStringLiteral("%1 went away").arg(port_->deviceName())
                             : port_->errorText();
    post([this, gone] { emit portStateChanged(false, gone); });
    return reopen(gone);
}

bool LineWorker::reopen(const QString& gone) {
    // Try again once a second; commands that come meanwhile fail at once, without a storm
    // of messages and without spinning.
    for (;;) {
        std::unique_lock lock(mutex_);
        while (!queue_.empty()) {
            Exchange x;
            x.id = queue_.front().first;
            x.pattern = queue_.front().second.pattern;
            x.request = queue_.front().second.frame;
            x.portError = true;
            x.portErrorText = gone;
            queue_.pop_front();
            lock.unlock();
            post([this, x] { emit commandDone(x); });
            lock.lock();
        }
        if (stopping_)
            return false;
        if (clock_.runsWithWall()) {
            wake_.wait_for(lock, std::chrono::milliseconds(reopenMs_),
                           [this] { return stopping_ || !queue_.empty(); });
        } else {
            lock.unlock();
            clock_.sleepUs(qint64(reopenMs_) * 1000);
            lock.lock();
        }
        if (stopping_)
            return false;
        if (!queue_.empty())
            continue;
        lock.unlock();
        if (port_->open() && !link_->prepareLine())
            port_->close(); // refused kernel keying: still not usable, try again later
        if (port_->isOpen()) {
            {
                std::lock_guard relock(mutex_);
                open_ = true;
            }
            const QString back = QStringLiteral("%1 is back").arg(port_->deviceName());
            post([this, back] { emit portStateChanged(true, back); });
            return true;
        }
    }
}

void LineWorker::noticeEcho(ReplyFault fault) {
    int which = -1;
    QString text;
    switch (fault) {
    case ReplyFault::Echo:
        // With Echo on, the adapter's copy has been taken off already: turning it on is no
        // advice there.
        if (link_->echo)
            return;
        which = 0;
        text = QStringLiteral("the adapter echoes what it sends: turn on Echo");
        break;
    case ReplyFault::EchoMissing:
        which = 1;
        text = QStringLiteral("expected echo not heard: nothing came back. Turn Echo off "
                              "unless the adapter echoes what it sends");
        break;
    case ReplyFault::EchoDiffers:
        which = 2;
        text = QStringLiteral("expected echo not heard: other bytes came instead (noise, or "
                              "Echo is on for an adapter that does not echo)");
        break;
    default:
        return;
    }
    if (echoSaid_[which])
        return;
    echoSaid_[which] = true;
    post([this, text] { emit notice(text); });
}

void LineWorker::run() {
#ifdef __linux__
    // Wake from sleeps when asked, not up to 50 us later: the microsecond waits rely on it.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    port_ = factory_ ? factory_() : nullptr;
    bool ok = port_ && port_->open();
    if (port_) {
        link_ = std::make_unique<Link>(*port_, clock_, check_);
        std::lock_guard lock(mutex_);
        link_->mode = mode_;
        link_->echo = echo_;
        link_->turnaroundUs = turnaround_;
    }
    if (ok && !link_->prepareLine()) {
        ok = false;
        port_->close();
    }
    bool retry = false;
    {
        std::lock_guard lock(mutex_);
        openDone_ = true;
        openOk_ = ok;
        open_ = ok;
        openError_ =
            ok ? QString() : (port_ ? port_->errorText() : QStringLiteral("No serial port given"));
        retry = retryOpen_ && port_;
    }
    wake_.notify_all();
    if (retry) {
        const QString said =
            ok ? QStringLiteral("%1 is open").arg(port_->deviceName()) : openError_;
        post([this, ok, said] { emit portStateChanged(ok, said); });
        if (!ok)
            ok = reopen(openError_);
    }
    if (!ok) {
        link_.reset();
        port_.reset();
        return;
    }

    link_->onVerdict = [this](const ReplyVerdict& v) { countVerdict(v); };
    link_->stop = &stopEvent_;
    const auto record = [this](const Traffic& t) { frames_.push_back(t); };
    const bool keysRts = link_->mode == LineMode::Rts || link_->mode == LineMode::RtsInverted;
    if (keysRts && !port_->setRts(link_->mode == LineMode::RtsInverted))
        post([this,
              text = QStringLiteral("%1 cannot drive RTS (a pseudo-terminal?): the line driver "
                                    "is not keyed, bytes still pass.")
                         .arg(port_->deviceName())] { emit notice(text); });

    Transaction job;
    bool isCycle = false;
    quint64 id = 0;
    while (nextJob(&job, &isCycle, &id)) {
        {
            std::lock_guard lock(mutex_);
            link_->turnaroundUs = turnaround_;
            if (isCycle && fastCycle_)
                job.fastReply = true;
        }
        // Frames are recorded only while somebody shows them; nobody pays for them otherwise.
        link_->onTraffic = listening() ? std::function<void(const Traffic&)>(record) : nullptr;
        link_->onAttempt = [this, id](int attempt, int attempts) {
            post([this, id, attempt, attempts, frames = std::exchange(frames_, {})] {
                for (const Traffic& t : frames)
                    emit traffic(t);
                emit writeAttempt(id, attempt, attempts);
            });
        };
        Exchange x = link_->run(job);
        overflowBytes_.store(quint64(link_->discardedBytes()), std::memory_order_relaxed);
        noticeEcho(x.verdict.fault);
        if (x.portError)
            x.portErrorText = port_->errorText().isEmpty()
                                  ? QStringLiteral("%1 failed").arg(port_->deviceName())
                                  : port_->errorText();
        x.id = id;
        x.cycle = isCycle;
        if (job.holdAfterMs > 0) {
            std::lock_guard lock(mutex_);
            holdUntilUs_ = clock_.nowUs() + qint64(job.holdAfterMs) * 1000;
        }
        const bool failed = x.portError || port_->lost();
        deliver(std::move(x));
        if (failed && !ensureOpen())
            break;
    }
    link_->releaseLine();
    port_->close();
    link_.reset();
    port_.reset();
}

} // namespace fh
