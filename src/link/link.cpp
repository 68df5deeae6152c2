#include "link/link.h"

#include "link/crc.h"
#include "link/requests.h"

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
        onTraffic(Traffic::sent(clock_.nowUs(), TxBuf));
    return ok;
}

void Link::OnTransmitDone() {
    const bool sent = port_.waitUntilSent();
    requestEndUs_ = clock_.nowUs();
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

ReplyFault Link::takeEcho(const QByteArray& frame, qint64 deadlineUs) {
    QByteArray heard;
    for (;;) {
        heard += port_.readAll();
        const qint64 now = clock_.nowUs();
        if (heard.size() >= frame.size() || now >= deadlineUs || port_.lost() || isAborted())
            break;
        // Once the bytes are not the copy, what follows them until the line goes quiet is
        // taken too, so the traffic shows what came instead.
        const bool differs = !frame.startsWith(heard);
        const bool more =
            port_.waitForInput(std::min(deadlineUs, now + (differs ? FrameGapUs : SliceUs)));
        if (differs && !more)
            break;
    }
    ReplyFault fault = ReplyFault::None;
    if (heard.isEmpty())
        fault = ReplyFault::EchoMissing;
    else if (!heard.startsWith(frame))
        fault = ReplyFault::EchoDiffers;
    if (fault == ReplyFault::None) {
        carried_ = heard.mid(frame.size());
    } else if (!port_.lost() && !isAborted()) {
        // A line fault, shown as heard and counted; none of it is ever taken for the reply.
        const ReplyVerdict v{fault};
        if (onTraffic) {
            Traffic t = Traffic::sent(clock_.nowUs(), heard);
            t.direction = Traffic::Received;
            t.verdict = v;
            t.request = frame;
            onTraffic(t);
        }
        if (onVerdict)
            onVerdict(v);
    }
    return fault;
}

void Link::distrustCopies() {
    if (Echo)
        return; // the adapter's copy has been taken off: a copy behind it is the detector's
    if (verdict_.fault == ReplyFault::Echo)
        echoHeard_ = true;
    else if (echoHeard_ && verdict_.ok() && reply().left(verdict_.frameLength) == TxBuf)
        verdict_ = ReplyVerdict{ReplyFault::Echo};
}

int Link::WaitReply(qint64 startUs) {
    const qint64 deadline = startUs + firstByteUs_;
    if (echoDue_) {
        // The adapter's copy is simply the first thing back, within the reply's own window.
        echoDue_ = false;
        echoFault_ = takeEcho(TxBuf, deadline);
        if (port_.lost()) {
            portError_ = true;
            echoFault_ = ReplyFault::None; // the device went, not the echo
        }
        if (echoFault_ != ReplyFault::None || portError_ || isAborted()) {
            verdict_ = ReplyVerdict{portError_ ? ReplyFault::NoReply : echoFault_};
            return 0;
        }
    }
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
        if (!port_.lost() && !isAborted())
            reportNoReply();
        return 0;
    }
    const qint64 firstAt = clock_.nowUs();
    if (!fastReply_ && !sleepUntil(firstAt + qint64(CollectMs) * 1000))
        return 0;
    collect(firstAt);
    if (isAborted())
        return 0;
    // Without a checker nothing can be trusted, so nothing passes.
    verdict_ = check_ ? check_(TxBuf, reply()) : ReplyVerdict{ReplyFault::OtherFunction};
    distrustCopies();
    if (onTraffic) {
        Traffic t = Traffic::sent(clock_.nowUs(), reply());
        t.direction = Traffic::Received;
        t.verdict = verdict_;
        t.request = TxBuf;
        t.sinceSentUs = firstAt - requestEndUs_;
        onTraffic(t);
    }
    if (onVerdict)
        onVerdict(verdict_);
    return 1;
}

void Link::collect(qint64 firstByteAtUs) {
    // Only the first 257 bytes fit the buffer; the rest of a flood is dropped, and counted, as
    // it is read, so a line that never stops costs no memory.
    QByteArray in;
    const auto take = [&](const QByteArray& bytes) {
        const qsizetype room = RxBufSize - in.size();
        in += bytes.left(room);
        discarded_ += std::max<qsizetype>(0, bytes.size() - room);
    };
    // Bytes that came right behind the echo are the reply's first.
    take(carried_);
    carried_.clear();
    take(port_.readAll());
    const qint64 end = firstByteAtUs + qint64(CollectMs) * 1000;
    while (fastReply_ && !isAborted() && clock_.nowUs() < end) {
        const int expected = ExpectedReplyLength(TxBuf, in);
        // Only a frame that checks out ends early; anything else gets the whole window.
        const bool complete = expected > 0 && in.size() >= expected &&
                              withCrc(in.left(expected - 2)) == in.left(expected);
        const qint64 now = clock_.nowUs();
        if (complete) {
            if (!port_.waitForInput(std::min(end, now + FrameGapUs)))
                break;
        } else {
            // Look again once the bytes still missing can have arrived, not at every byte:
            // by the length the reply announces, else the one a proper answer has.
            const int length = expected > 0 ? expected : ProperReplyLength(TxBuf);
            const qint64 missing = length > in.size() ? length - in.size() : 3;
            if (!sleepUntil(std::min(end, now + missing * CharUs)))
                break;
        }
        take(port_.readAll());
    }
    take(port_.readAll());
    std::copy_n(reinterpret_cast<const quint8*>(in.constData()), in.size(), RxBuf.begin());
    RxCount = static_cast<qint16>(in.size());
}

void Link::reportNoReply() {
    if (!onTraffic)
        return;
    Traffic t = Traffic::sent(clock_.nowUs(), {});
    t.direction = Traffic::Received;
    t.request = TxBuf;
    t.sinceSentUs = t.timeUs - requestEndUs_;
    onTraffic(t);
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
    echoDue_ = false;
    const bool ok = Send(frame);
    *sentAtUs = clock_.nowUs();
    OnTransmitDone();
    if (!ok)
        portError_ = true;
    if (!ok || portError_)
        return false;
    echoDue_ = Echo;
    return true;
}

Exchange Link::run(const Transaction& t) {
    Exchange x;
    x.pattern = t.pattern;
    x.request = t.frame;
    portError_ = false;
    echoFault_ = ReplyFault::None;
    qint64 sentAt = 0;
    firstByteUs_ = qint64(std::max(1, t.firstByteMs)) * 1000;
    fastReply_ = t.fastReply;

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
            // A write is never repeated into a line whose echo is wrong.
            if (portError_ || echoFault_ != ReplyFault::None)
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
    echoDue_ = false; // a frame sent without a reply wait leaves its copy to the next flush
    firstByteUs_ = FirstByteUs; // a WaitReply outside run() keeps the standard window
    fastReply_ = false;
    return x;
}

} // namespace fh
