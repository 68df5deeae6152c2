#include "link/link.h"

#include <algorithm>

namespace fh {

Link::Link(SerialPort& port, Clock& clock, ReplyChecker check)
    : port_(port), clock_(clock), check_(std::move(check)) {}

bool Link::Send(const QByteArray& frame) {
    TxBuf = frame;
    port_.setRts(true); // a device without RTS (a pty) still carries the bytes
    if (TxBuf.size() > 1 && static_cast<quint8>(TxBuf[1]) == CommandFunction)
        RTMicroDelay(CommandKeyUs);
    const bool ok = port_.write(TxBuf);
    if (onTraffic)
        onTraffic({clock_.nowUs(), Traffic::Sent, TxBuf, {}});
    return ok;
}

void Link::OnTransmitDone() {
    const bool sent = port_.waitUntilSent();
    if (sent)
        RTMicroDelay(TurnaroundDelay);
    port_.setRts(false);
    if (!sent)
        portError_ = true;
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

int Link::WaitReply(qint64 startUs) {
    const qint64 deadline = startUs + firstByteUs_;
    bool waiting = false;
    for (;;) {
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
    const QByteArray in = port_.readAll();
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
    const bool ok = Send(frame);
    *sentAtUs = clock_.nowUs();
    OnTransmitDone();
    if (!ok)
        portError_ = true;
    return ok && !portError_;
}

Exchange Link::run(const Transaction& t) {
    Exchange x;
    x.pattern = t.pattern;
    x.request = t.frame;
    portError_ = false;
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
    x.answered = x.collected && x.verdict.ok();
    x.portError = portError_;
    firstByteUs_ = FirstByteUs; // a WaitReply outside run() keeps the standard window
    return x;
}

} // namespace fh
