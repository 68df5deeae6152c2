#include "link/link.h"

#include <algorithm>

namespace fh {

Link::Link(SerialPort& port, Clock& clock, ReplyChecker check)
    : port_(port), clock_(clock), check_(std::move(check)) {}

namespace {
int roundUpMs(qint64 us) {
    return int((std::max<qint64>(0, us) + 999) / 1000);
}
} // namespace

bool Link::Send(const QByteArray& frame) {
    TxBuf = frame;
    const bool command = TxBuf.size() > 1 && static_cast<quint8>(TxBuf[1]) == CommandFunction;
    bool ok = true;
    switch (Mode) {
    case LineMode::Rts:
    case LineMode::RtsInverted:
        // A device without RTS (a pty) still carries the bytes.
        port_.setRts(Mode == LineMode::Rts);
        if (command)
            RTMicroDelay(CommandKeyUs);
        break;
    case LineMode::Auto:
        // The adapter keys itself with the first byte; the key-up time is kept as silence.
        if (command)
            RTMicroDelay(CommandKeyUs);
        break;
    case LineMode::Kernel:
        ok = handKernelKeying(command ? CommandKeyUs : 0);
        break;
    }
    ok = ok && port_.write(TxBuf);
    if (onTraffic)
        onTraffic({clock_.nowUs(), Traffic::Sent, TxBuf, {}});
    return ok;
}

void Link::OnTransmitDone() {
    const bool sent = port_.waitUntilSent();
    if (sent)
        RTMicroDelay(TurnaroundDelay);
    ReleaseLine();
    if (!sent)
        portError_ = true;
}

void Link::ReleaseLine() {
    if (Mode == LineMode::Rts || Mode == LineMode::RtsInverted)
        port_.setRts(Mode == LineMode::RtsInverted);
}

bool Link::PrepareLine() {
    kernelKeyUpMs_ = kernelTurnaroundMs_ = -1;
    carried_.clear();
    if (Mode == LineMode::Kernel)
        return handKernelKeying(0);
    ReleaseLine();
    return true;
}

bool Link::handKernelKeying(qint64 keyUpUs) {
    // The driver takes whole milliseconds; rounded up so no wait comes out shorter.
    const int keyUp = roundUpMs(keyUpUs);
    const int turnaround = roundUpMs(TurnaroundDelay);
    if (keyUp == kernelKeyUpMs_ && turnaround == kernelTurnaroundMs_)
        return true;
    if (!port_.setKernelKeying(keyUp, turnaround))
        return false;
    kernelKeyUpMs_ = keyUp;
    kernelTurnaroundMs_ = turnaround;
    return true;
}

namespace {
constexpr qint64 SliceUs = 50'000;
}

bool Link::sleepUntil(qint64 t) {
    for (qint64 now = clock_.nowUs(); now < t; now = clock_.nowUs()) {
        if (isAborted())
            return false;
        clock_.sleepUntilUs(std::min(t, now + SliceUs));
    }
    return true;
}

ReplyFault Link::takeEcho(const QByteArray& frame) {
    const qint64 deadline = clock_.nowUs() + qint64(EchoGraceMs) * 1000;
    QByteArray heard;
    for (;;) {
        heard += port_.readAll();
        const qint64 now = clock_.nowUs();
        if (heard.size() >= frame.size() || now >= deadline || port_.lost() || isAborted())
            break;
        port_.waitForInput(std::min(deadline, now + SliceUs));
    }
    ReplyFault fault = ReplyFault::None;
    if (heard.isEmpty())
        fault = ReplyFault::EchoMissing;
    else if (!heard.startsWith(frame))
        fault = ReplyFault::EchoDiffers;
    if (fault == ReplyFault::None) {
        carried_ = heard.mid(frame.size());
    } else {
        // A line fault, shown as heard and counted; none of it is ever taken for the reply.
        const ReplyVerdict v{fault};
        if (onTraffic)
            onTraffic({clock_.nowUs(), Traffic::Received, heard, v});
        if (onVerdict)
            onVerdict(v);
    }
    return fault;
}

int Link::WaitReply(qint64 startUs) {
    const qint64 deadline = startUs + firstByteUs_;
    // Bytes that came right behind the echo are the reply's first.
    bool waiting = !carried_.isEmpty();
    while (!waiting) {
        if (isAborted())
            return 0;
        const qint64 now = clock_.nowUs();
        waiting = port_.waitForInput(std::min(deadline, now + SliceUs));
        if (waiting || clock_.nowUs() >= deadline || port_.lost())
            break;
    }
    if (!waiting) {
        if (port_.lost())
            portError_ = true;
        verdict_ = ReplyVerdict{};
        if (onVerdict)
            onVerdict(verdict_);
        return 0;
    }
    if (!sleepUntil(clock_.nowUs() + qint64(CollectMs) * 1000))
        return 0;
    QByteArray in = carried_ + port_.readAll();
    carried_.clear();
    // Only the first 257 bytes fit the buffer; the rest of a flood is dropped, and counted.
    const int n = std::min<int>(static_cast<int>(in.size()), RxBufSize);
    std::copy_n(reinterpret_cast<const quint8*>(in.constData()), n, RxBuf.begin());
    RxCount = static_cast<qint16>(n);
    discarded_ += in.size() - n;
    // Without a checker nothing can be trusted, so nothing passes.
    verdict_ = check_ ? check_(TxBuf, reply()) : ReplyVerdict{ReplyFault::OtherFunction};
    if (onTraffic)
        onTraffic({clock_.nowUs(), Traffic::Received, reply(), verdict_});
    if (onVerdict)
        onVerdict(verdict_);
    return 1;
}

namespace {
// What an exchange hands on: only the frame of a proper answer, never its trailing bytes.
QByteArray judged(const QByteArray& collected, const ReplyVerdict& v) {
    return v.ok() ? collected.left(v.frameLength) : collected;
}
} // namespace

QByteArray Link::reply() const {
    return QByteArray(reinterpret_cast<const char*>(RxBuf.data()), RxCount);
}

bool Link::sendAndRelease(const QByteArray& frame, qint64* sentAtUs) {
    // A late byte of an earlier exchange must never pass for this request's answer.
    port_.flushInput();
    carried_.clear();
    echoFault_ = ReplyFault::None;
    const bool ok = Send(frame);
    *sentAtUs = clock_.nowUs();
    OnTransmitDone();
    if (!ok)
        portError_ = true;
    if (!ok || portError_)
        return false;
    if (Echo)
        echoFault_ = takeEcho(frame);
    return !portError_ && echoFault_ == ReplyFault::None;
}

Exchange Link::run(const Transaction& t) {
    Exchange x;
    x.pattern = t.pattern;
    x.request = t.frame;
    portError_ = false;
    echoFault_ = ReplyFault::None;
    qint64 sentAt = 0;
    firstByteUs_ = qint64(std::max(1, t.firstByteMs)) * 1000;

    switch (t.pattern) {
    case Pattern::Poll:
        // The window opens when the request is handed over, so it also covers the
        // transmission and the turnaround.
        x.attempts = 1;
        if (sendAndRelease(t.frame, &sentAt) && WaitReply(sentAt) == 1) {
            x.collected = true;
            x.verdict = verdict_;
            x.reply = judged(reply(), verdict_);
        }
        break;
    case Pattern::ButtonRead:
        x.attempts = 1;
        if (sendAndRelease(t.frame, &sentAt) && WaitReply() == 1) {
            x.collected = true;
            x.verdict = verdict_;
            x.reply = judged(reply(), verdict_);
        }
        break;
    case Pattern::SendOnly:
        x.attempts = 1;
        sendAndRelease(t.frame, &sentAt);
        break;
    case Pattern::ConfirmedWrite:
        for (int attempt = 1; attempt <= std::max(1, t.attempts) && !isAborted(); ++attempt) {
            x.attempts = attempt;
            if (onAttempt)
                onAttempt(attempt, std::max(1, t.attempts));
            if (!sendAndRelease(t.frame, &sentAt))
                break;
            if (!sleepUntil(sentAt + qint64(WriteSettleMs) * 1000))
                break;
            x.collected = WaitReply() == 1;
            x.verdict = x.collected ? verdict_ : ReplyVerdict{};
            if (portError_)
                break;
            x.reply = x.collected ? judged(reply(), verdict_) : QByteArray();
            // A write counts as done only on a proper answer that also passes its own test.
            if (x.collected && x.verdict.ok() && t.test && t.test(x.reply)) {
                x.acknowledged = true;
                break;
            }
        }
        break;
    }
    if (echoFault_ != ReplyFault::None) {
        // A line fault: whatever was collected before it is not this exchange's answer.
        x.collected = false;
        x.reply.clear();
        x.verdict = ReplyVerdict{echoFault_};
    }
    x.answered = x.collected && x.verdict.ok();
    x.portError = portError_;
    firstByteUs_ = FirstByteUs; // a WaitReply outside run() keeps the standard window
    return x;
}

} // namespace fh
