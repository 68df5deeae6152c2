#include "link/link.h"

#include "link/crc.h"
#include "link/requests.h"
#include "link/wakeevent.h"

#include <algorithm>

namespace fh {

Link::Link(SerialPort& port, Clock& clock, ReplyChecker check)
    : port_(port), clock_(clock), check_(std::move(check)) {}

namespace {
int roundUpMs(qint64 us) {
    return int((std::max<qint64>(0, us) + 999) / 1000);
}
} // namespace

bool Link::stopping() const {
    return stop && stop->raised();
}

bool Link::sleepUntil(qint64 t) {
    return clock_.sleepUntilUs(t, stop);
}

bool Link::send(const QByteArray& frame) {
    request_ = frame;
    // A late byte of an earlier exchange must never pass for this request's answer. Finding
    // none also tells that nothing has been said on the line since it was last heard.
    if (port_.flushInput() > 0 || quietSinceUs_ < 0)
        quietSinceUs_ = clock_.nowUs();
    const bool command = request_.size() > 1 && quint8(request_[1]) == CommandFunction;
    keyed_ = false;
    switch (mode) {
    case LineMode::Rts:
    case LineMode::RtsInverted:
        // A device without RTS (a pty) still carries the bytes; it is simply not keyed.
        keyed_ = port_.setRts(mode == LineMode::Rts);
        break;
    case LineMode::Auto:
        break;
    case LineMode::Kernel:
        // The driver waits the key-up time itself.
        if (!handKernelKeying(command ? CommandKeyUs : 0))
            return false;
        break;
    }
    if (command && mode != LineMode::Kernel) {
        // A keyed driver needs its key-up time. Unkeyed, the detectors still get that much
        // silence before a command frame, counted from the last byte on the line; after a
        // reply window it has usually passed already.
        const qint64 due = (keyed_ ? clock_.nowUs() : quietSinceUs_) + CommandKeyUs;
        if (clock_.nowUs() < due) {
            if (!sleepUntil(due))
                return false;
            if (!keyed_)
                port_.flushInput(); // heard while the line was to be quiet: stale as well
        }
    }
    quietSinceUs_ = -1; // our own frame is on the line
    if (!port_.write(request_))
        return false;
    if (onTraffic)
        onTraffic(Traffic::sent(clock_.nowUs(), request_));
    return true;
}

void Link::finishSending(bool replyFollows) {
    const bool sent = port_.waitUntilSent();
    requestEndUs_ = clock_.nowUs();
    releaseAtUs_ = requestEndUs_ + turnaroundUs;
    quietSinceUs_ = requestEndUs_;
    // Only a driver the program keys needs the turnaround slept before its release. Anything
    // else hears the line throughout, so a reply wait that follows stands for it.
    if (sent && (keyed_ || !replyFollows))
        sleepUntil(releaseAtUs_);
    releaseLine();
    if (!sent)
        portError_ = true;
}

void Link::releaseLine() {
    if (mode == LineMode::Rts || mode == LineMode::RtsInverted)
        port_.setRts(mode == LineMode::RtsInverted);
}

bool Link::prepareLine() {
    kernelKeyUpMs_ = kernelTurnaroundMs_ = -1;
    carried_.clear();
    quietSinceUs_ = -1;
    if (mode == LineMode::Kernel)
        return handKernelKeying(0);
    releaseLine();
    return true;
}

bool Link::handKernelKeying(qint64 keyUpUs) {
    // The driver takes whole milliseconds; rounded up so no wait comes out shorter.
    const int keyUp = roundUpMs(keyUpUs);
    const int turnaround = roundUpMs(turnaroundUs);
    if (keyUp == kernelKeyUpMs_ && turnaround == kernelTurnaroundMs_)
        return true;
    if (!port_.setKernelKeying(keyUp, turnaround))
        return false;
    kernelKeyUpMs_ = keyUp;
    kernelTurnaroundMs_ = turnaround;
    return true;
}

ReplyFault Link::takeEcho(const QByteArray& frame, qint64 deadlineUs) {
    QByteArray heard;
    for (;;) {
        heard += port_.readAll();
        const qint64 now = clock_.nowUs();
        if (heard.size() >= frame.size() || now >= deadlineUs || port_.lost() || stopping())
            break;
        // Once the bytes are not the copy, what follows them until the line goes quiet is
        // taken too, so the traffic shows what came instead.
        const bool differs = !frame.startsWith(heard);
        const bool more =
            port_.waitForInput(differs ? std::min(deadlineUs, now + FrameGapUs) : deadlineUs, stop);
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
    } else if (!port_.lost() && !stopping()) {
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
    if (echo)
        return; // the adapter's copy has been taken off: a copy behind it is the detector's
    if (verdict_.fault == ReplyFault::Echo)
        echoHeard_ = true;
    else if (echoHeard_ && verdict_.ok() && reply_.left(verdict_.frameLength) == request_)
        verdict_ = ReplyVerdict{ReplyFault::Echo};
}

bool Link::collectReply(qint64 windowOpenedUs) {
    const qint64 deadline = windowOpenedUs + firstByteUs_;
    if (echoDue_) {
        // The adapter's copy is simply the first thing back, within the reply's own window.
        echoDue_ = false;
        echoFault_ = takeEcho(request_, deadline);
        if (port_.lost()) {
            portError_ = true;
            echoFault_ = ReplyFault::None; // the device went, not the echo
        }
        if (echoFault_ != ReplyFault::None || portError_ || stopping()) {
            verdict_ = ReplyVerdict{portError_ ? ReplyFault::NoReply : echoFault_};
            return false;
        }
    }
    // Bytes that came right behind the echo are the reply's first. Else one wait for the first
    // byte, which the deadline, the device or the stop event ends.
    if (carried_.isEmpty() && !port_.waitForInput(deadline, stop)) {
        if (port_.lost())
            portError_ = true;
        verdict_ = ReplyVerdict{};
        if (stopping())
            return false;
        if (onVerdict)
            onVerdict(verdict_);
        if (!port_.lost())
            reportNoReply();
        return false;
    }
    const qint64 firstAt = clock_.nowUs();
    collect(firstAt);
    if (stopping())
        return false;
    // Without a checker nothing can be trusted, so nothing passes.
    verdict_ = check_ ? check_(request_, reply_) : ReplyVerdict{ReplyFault::OtherFunction};
    distrustCopies();
    if (onTraffic) {
        Traffic t = Traffic::sent(clock_.nowUs(), reply_);
        t.direction = Traffic::Received;
        t.verdict = verdict_;
        t.request = request_;
        t.sinceSentUs = firstAt - requestEndUs_;
        onTraffic(t);
    }
    if (onVerdict)
        onVerdict(verdict_);
    return true;
}

void Link::take(QByteArray& in, const QByteArray& bytes) {
    // Only the first 257 bytes fit; the rest of a flood is dropped, and counted, as it is
    // read, so a line that never stops costs no memory.
    const qsizetype room = ReplyBufferBytes - in.size();
    in += bytes.left(room);
    discarded_ += std::max<qsizetype>(0, bytes.size() - room);
}

void Link::collect(qint64 firstByteAtUs) {
    QByteArray in;
    take(in, carried_);
    carried_.clear();
    take(in, port_.readAll());
    qint64 heardAt = clock_.nowUs(); // every byte read so far came before this
    const qint64 end = firstByteAtUs + qint64(CollectMs) * 1000;
    if (!fastReply_) {
        // The window is fixed: one wait to its end, which only the stop event cuts short, then
        // what came meanwhile. Not waking for every byte keeps a slow line cheap, and a read
        // that finds nothing new tells the line has been quiet since the first bytes.
        if (sleepUntil(end)) {
            const QByteArray more = port_.readAll();
            if (!more.isEmpty()) {
                take(in, more);
                heardAt = clock_.nowUs();
            }
        }
    } else {
        while (!stopping() && clock_.nowUs() < end) {
            const int expected = ExpectedReplyLength(request_, in);
            // Only a frame that checks out ends early; anything else gets the whole window.
            const bool complete = expected > 0 && in.size() >= expected &&
                                  withCrc(in.left(expected - 2)) == in.left(expected);
            const qint64 now = clock_.nowUs();
            if (complete) {
                // Done once the line has been quiet for 3.5 characters behind it.
                if (!port_.waitForInput(std::min(end, now + FrameGapUs), stop))
                    break;
            } else {
                // Look again once the bytes still missing can have arrived, not at every byte:
                // by the length the reply announces, else the one a proper answer has.
                const int length = expected > 0 ? expected : ProperReplyLength(request_);
                const qint64 missing = length > in.size() ? length - in.size() : 3;
                if (!sleepUntil(std::min(end, now + missing * CharUs)))
                    break;
            }
            const QByteArray more = port_.readAll();
            if (!more.isEmpty()) {
                take(in, more);
                heardAt = clock_.nowUs();
            }
        }
    }
    quietSinceUs_ = heardAt;
    reply_ = in;
}

void Link::reportNoReply() {
    if (!onTraffic)
        return;
    Traffic t = Traffic::sent(clock_.nowUs(), {});
    t.direction = Traffic::Received;
    t.request = request_;
    t.sinceSentUs = t.timeUs - requestEndUs_;
    onTraffic(t);
}

namespace {
// What an exchange hands on: only the frame of a proper answer, never its trailing bytes.
QByteArray judged(const QByteArray& collected, const ReplyVerdict& v) {
    return v.ok() ? collected.left(v.frameLength) : collected;
}
} // namespace

bool Link::sendAndRelease(const QByteArray& frame, qint64* sentAtUs, bool replyFollows) {
    carried_.clear();
    echoFault_ = ReplyFault::None;
    echoDue_ = false;
    const bool ok = send(frame);
    *sentAtUs = clock_.nowUs();
    if (!ok) {
        releaseLine();
        portError_ = !stopping();
        return false;
    }
    finishSending(replyFollows);
    if (portError_ || stopping())
        return false;
    echoDue_ = echo && replyFollows;
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
        if (sendAndRelease(t.frame, &sentAt, true) && collectReply(sentAt)) {
            x.collected = true;
            x.verdict = verdict_;
            x.reply = judged(reply_, verdict_);
        }
        break;
    case Pattern::ButtonRead:
        // The window opens when the line is released.
        x.attempts = 1;
        if (sendAndRelease(t.frame, &sentAt, true) &&
            collectReply(std::max(clock_.nowUs(), releaseAtUs_))) {
            x.collected = true;
            x.verdict = verdict_;
            x.reply = judged(reply_, verdict_);
        }
        break;
    case Pattern::SendOnly:
        x.attempts = 1;
        sendAndRelease(t.frame, &sentAt, false);
        break;
    case Pattern::ConfirmedWrite:
        for (int attempt = 1; attempt <= std::max(1, t.attempts) && !stopping(); ++attempt) {
            x.attempts = attempt;
            if (onAttempt)
                onAttempt(attempt, std::max(1, t.attempts));
            if (!sendAndRelease(t.frame, &sentAt, true))
                break;
            if (!sleepUntil(sentAt + qint64(WriteSettleMs) * 1000))
                break;
            x.collected = collectReply();
            x.verdict = x.collected ? verdict_ : ReplyVerdict{};
            // A write is never repeated into a line whose echo is wrong.
            if (portError_ || echoFault_ != ReplyFault::None)
                break;
            x.reply = x.collected ? judged(reply_, verdict_) : QByteArray();
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
    firstByteUs_ = FirstByteUs; // a collection outside run() keeps the standard window
    fastReply_ = false;
    return x;
}

} // namespace fh
