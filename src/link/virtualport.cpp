#include "link/virtualport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace fh {

namespace {
qint64 byteEnd(qint64 start, int index) {
    return start + std::llround((index + 1) * VirtualPort::ByteUs);
}
} // namespace

VirtualPort::VirtualPort(Clock& clock, LinePeer& peer, QString name)
    : clock_(clock), peer_(peer), name_(std::move(name)) {}

bool VirtualPort::open() {
    std::lock_guard lock(mutex_);
    if (!present_)
        return false;
    open_ = true;
    lostFlag_ = false;
    input_.clear();
    return true;
}

void VirtualPort::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

bool VirtualPort::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

bool VirtualPort::lost() const {
    std::lock_guard lock(mutex_);
    return lostFlag_;
}

QString VirtualPort::errorText() const {
    std::lock_guard lock(mutex_);
    if (!present_)
        return QStringLiteral("%1: No such device").arg(name_);
    return {};
}

void VirtualPort::setPresent(bool present) {
    std::lock_guard lock(mutex_);
    present_ = present;
    if (!present && open_) {
        lostFlag_ = true;
        open_ = false;
        outgoing_.clear();
        incoming_.clear();
        input_.clear();
    }
}

void VirtualPort::setAdapter(LineMode keying) {
    std::lock_guard lock(mutex_);
    adapter_ = keying;
}

void VirtualPort::setEcho(bool echo) {
    std::lock_guard lock(mutex_);
    echo_ = echo;
}

bool VirtualPort::setRts(bool on) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    const qint64 now = clock_.nowUs();
    rts_ = on;
    rtsHistory_.emplace_back(now, on);
    // Keep the history short: only what pending bytes can still ask about.
    if (rtsHistory_.size() > 64)
        rtsHistory_.erase(rtsHistory_.begin(), rtsHistory_.end() - 32);
    record(now, on ? LineEvent::RtsOn : LineEvent::RtsOff);
    return true;
}

bool VirtualPort::setKernelKeying(int keyUpMs, int turnaroundMs) {
    std::lock_guard lock(mutex_);
    if (!open_ || adapter_ != LineMode::Kernel)
        return false;
    kernelKeying_ = true;
    kernelKeyUpUs_ = qint64(keyUpMs) * 1000;
    kernelTurnaroundUs_ = qint64(turnaroundMs) * 1000;
    return true;
}

bool VirtualPort::keyedAt(qint64 t) const {
    switch (adapter_) {
    case LineMode::RtsInverted:
        return !rtsAt(t);
    case LineMode::Auto:
        for (const auto& [from, to] : sending_)
            if (t >= from && t <= to)
                return true;
        return false;
    case LineMode::Rts:
    case LineMode::Kernel:
        break;
    }
    return rtsAt(t);
}

bool VirtualPort::rts() const {
    std::lock_guard lock(mutex_);
    return rts_;
}

bool VirtualPort::rtsAt(qint64 t) const {
    bool on = false;
    for (const auto& [when, state] : rtsHistory_) {
        if (when > t)
            break;
        on = state;
    }
    return on;
}

bool VirtualPort::write(const QByteArray& bytes) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    qint64 start = std::max(clock_.nowUs(), txBusyUntil_);
    if (kernelKeying_) {
        // The driver raises RTS, waits its key-up time, sends, and drops RTS after its delay.
        auto key = [this](qint64 t, bool on) {
            rtsHistory_.emplace_back(t, on);
            if (rtsHistory_.size() > 64)
                rtsHistory_.erase(rtsHistory_.begin(), rtsHistory_.end() - 32);
            record(t, on ? LineEvent::RtsOn : LineEvent::RtsOff);
        };
        key(start, true);
        start += kernelKeyUpUs_;
        key(byteEnd(start, int(bytes.size()) - 1) + kernelTurnaroundUs_, false);
    }
    Pending p;
    p.bytes = bytes;
    for (int i = 0; i < bytes.size(); ++i)
        p.leaveUs.push_back(byteEnd(start, i));
    txBusyUntil_ = p.leaveUs.empty() ? start : p.leaveUs.back();
    sending_.emplace_back(start, txBusyUntil_);
    if (sending_.size() > 16)
        sending_.pop_front();
    outgoing_.push_back(std::move(p));
    return true;
}

bool VirtualPort::waitUntilSent() {
    qint64 until;
    {
        std::lock_guard lock(mutex_);
        if (!open_)
            return false;
        until = txBusyUntil_;
    }
    clock_.sleepUntilUs(until);
    std::lock_guard lock(mutex_);
    return open_;
}

void VirtualPort::advance(qint64 now) {
    // Requests whose last byte has left reach the peer; a byte sent after the driver was
    // released never reached the line.
    while (!outgoing_.empty() && outgoing_.front().leaveUs.back() <= now) {
        Pending p = std::move(outgoing_.front());
        outgoing_.pop_front();
        QByteArray heard;
        for (int i = 0; i < p.bytes.size(); ++i) {
            record(p.leaveUs[i], LineEvent::TxByte, static_cast<quint8>(p.bytes[i]));
            if (keyedAt(p.leaveUs[i] - 1))
                heard.append(p.bytes[i]);
            if (echo_)
                incoming_.push_back({p.leaveUs[i], static_cast<quint8>(p.bytes[i]), true});
        }
        qint64 at = p.leaveUs.back();
        for (const ReplySegment& seg : peer_.answer(heard, at)) {
            const qint64 start = at + std::max<qint64>(0, seg.delayUs);
            for (int i = 0; i < seg.bytes.size(); ++i)
                incoming_.push_back({byteEnd(start, i), static_cast<quint8>(seg.bytes[i])});
            if (!seg.bytes.isEmpty())
                at = byteEnd(start, static_cast<int>(seg.bytes.size()) - 1);
        }
        std::stable_sort(
            incoming_.begin(), incoming_.end(),
            [](const Incoming& a, const Incoming& b) { return a.arrivalUs < b.arrivalUs; });
    }
    // Our receiver is deaf while our own driver is keyed (half duplex).
    while (!incoming_.empty() && incoming_.front().arrivalUs <= now) {
        const Incoming in = incoming_.front();
        incoming_.pop_front();
        if (!in.echo && keyedAt(in.arrivalUs)) {
            ++lost_;
            record(in.arrivalUs, LineEvent::RxLost, in.byte);
        } else if (input_.size() < 1024) {
            input_.append(static_cast<char>(in.byte));
            record(in.arrivalUs, LineEvent::RxByte, in.byte);
        } else {
            ++lost_;
            record(in.arrivalUs, LineEvent::RxLost, in.byte);
        }
    }
}

qint64 VirtualPort::nextEventUs() const {
    qint64 next = std::numeric_limits<qint64>::max();
    if (!outgoing_.empty())
        next = outgoing_.front().leaveUs.back();
    if (!incoming_.empty())
        next = std::min(next, incoming_.front().arrivalUs);
    return next;
}

int VirtualPort::bytesWaiting() {
    std::lock_guard lock(mutex_);
    advance(clock_.nowUs());
    return static_cast<int>(input_.size());
}

QByteArray VirtualPort::readAll() {
    std::lock_guard lock(mutex_);
    advance(clock_.nowUs());
    QByteArray out;
    out.swap(input_);
    return out;
}

int VirtualPort::flushInput() {
    std::lock_guard lock(mutex_);
    advance(clock_.nowUs());
    const int dropped = int(input_.size());
    input_.clear();
    return dropped;
}

bool VirtualPort::waitForInput(qint64 deadlineUs, const WakeEvent* wake) {
    for (;;) {
        qint64 next;
        {
            std::lock_guard lock(mutex_);
            if (!open_)
                return false;
            const qint64 now = clock_.nowUs();
            advance(now);
            if (!input_.isEmpty())
                return true;
            if (now >= deadlineUs)
                return false;
            next = std::min(nextEventUs(), deadlineUs);
        }
        if (!clock_.sleepUntilUs(next, wake))
            return false;
    }
}

void VirtualPort::setTracing(bool on) {
    std::lock_guard lock(mutex_);
    tracing_ = on;
}

void VirtualPort::record(qint64 t, LineEvent::Kind kind, quint8 byte) {
    if (!tracing_)
        return;
    if (events_.size() >= 200'000)
        events_.erase(events_.begin(), events_.begin() + 100'000);
    events_.push_back({t, kind, byte});
}

std::vector<LineEvent> VirtualPort::events() const {
    std::lock_guard lock(mutex_);
    // Bytes are recorded when the line is next looked at, so order them by time here.
    std::vector<LineEvent> out = events_;
    std::stable_sort(out.begin(), out.end(),
                     [](const LineEvent& a, const LineEvent& b) { return a.timeUs < b.timeUs; });
    return out;
}

void VirtualPort::clearEvents() {
    std::lock_guard lock(mutex_);
    events_.clear();
}

int VirtualPort::lostBytes() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

} // namespace fh
