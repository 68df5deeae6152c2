#pragma once
// The exchange engine: sending a request with the transmitter keyed, and collecting what comes
// back within the reply windows. Plain blocking code; only the line worker's thread runs it.
// Every wait is one wait in the port or the clock with a deadline, which the stop event ends
// at once.
#include "link/clock.h"
#include "link/exchange.h"
#include "link/linemode.h"
#include "link/serialport.h"

#include <functional>

namespace fh {

class WakeEvent;

class Link {
public:
    static constexpr int ReplyBufferBytes = 257;   // most bytes one collection keeps
    static constexpr qint64 CommandKeyUs = 4000;   // before every function-200 frame
    static constexpr qint64 FirstByteUs = 600'000; // a reply's first byte within this
    static constexpr int CollectMs = 100;          // then this much more, then take all
    static constexpr int WriteSettleMs = 500;      // confirmed write: pause before the wait
    static constexpr quint8 CommandFunction = 200;

    // check judges every collected reply against the request just sent.
    Link(SerialPort& port, Clock& clock, ReplyChecker check);

    // Microseconds the transmitter stays keyed after the last byte has left.
    int turnaroundUs = 4000;
    // Who keys the driver. Where nothing is keyed (auto, kernel, a device without RTS) the
    // key-up time before a function-200 frame is kept as silence on the line, so detectors
    // see the same timing.
    LineMode mode = LineMode::Rts;
    // The adapter returns every byte sent: each request's copy is the first thing back, within
    // the reply's own window, and is removed; a missing or different copy fails the exchange
    // and is never taken for the reply.
    bool echo = false;
    // Raised when the worker is to stop: ends the wait in progress and the exchange with it.
    const WakeEvent* stop = nullptr;

    // Puts the line in its listening state for the mode (releases RTS, or hands the keying to
    // the driver). False when the driver refuses kernel keying (the port's errorText says why).
    bool prepareLine();
    // Releases the driver where the program keys it (RTS off, or on for RtsInverted).
    void releaseLine();

    // Drops stale input, keys the transmitter, waits the key-up time before a function-200
    // frame and hands the frame over. False when the device refused it or the worker stops.
    bool send(const QByteArray& frame);
    // Waits until every byte has left, turnaroundUs more, then releases the line. With
    // replyFollows, where the program keys nothing, the turnaround is not slept: the reply
    // wait that follows covers it and hears anything said during it.
    void finishSending(bool replyFollows = false);
    // Collects the answer to the request just sent: true when bytes came within the first-byte
    // window opened at windowOpenedUs (then reply() holds them), false on silence (reply()
    // keeps the last answer), a stop or a device that went away. Either way lastVerdict()
    // holds the reply check's word on it.
    bool collectReply(qint64 windowOpenedUs);
    bool collectReply() { return collectReply(clock_.nowUs()); }

    // The calling patterns; each drops stale input before every request it sends.
    Exchange run(const Transaction& t);

    // The request last sent, and the bytes last collected (at most ReplyBufferBytes).
    const QByteArray& request() const { return request_; }
    const QByteArray& reply() const { return reply_; }
    const ReplyVerdict& lastVerdict() const { return verdict_; }
    // Bytes beyond the reply buffer that were dropped, over the whole run.
    qint64 discardedBytes() const { return discarded_; }

    // Called with every frame sent and every reply collected (with its verdict).
    std::function<void(const Traffic&)> onTraffic;
    // Called as each attempt of a confirmed write begins: attempt number, attempts at most.
    std::function<void(int attempt, int attempts)> onAttempt;
    // Called with the verdict of every collection, silence included.
    std::function<void(const ReplyVerdict&)> onVerdict;

private:
    bool stopping() const;
    bool sleepUntil(qint64 t);
    bool sendAndRelease(const QByteArray& frame, qint64* sentAtUs, bool replyFollows);
    // Reads the adapter's copy of frame, due by deadlineUs; what follows it is kept for the
    // reply.
    ReplyFault takeEcho(const QByteArray& frame, qint64 deadlineUs);
    // Without echo: a reply that is a bare copy of its request passes the reply check only as
    // long as the line has never echoed; after that it is the adapter's echo.
    void distrustCopies();
    bool handKernelKeying(qint64 keyUpUs);
    // Takes what has arrived into in (up to the reply buffer, the rest counted as dropped).
    void take(QByteArray& in, const QByteArray& bytes);
    // Collects until the window after the first byte ends, or (fastReply_) until a frame of
    // known length is in and the line has gone silent.
    void collect(qint64 firstByteAtUs);
    void reportNoReply();

    SerialPort& port_;
    Clock& clock_;
    ReplyChecker check_;
    QByteArray request_;
    QByteArray reply_;
    ReplyVerdict verdict_;
    qint64 firstByteUs_ = FirstByteUs;
    bool fastReply_ = false;
    bool keyed_ = false;       // this request's driver is keyed by the program (RTS taken)
    qint64 requestEndUs_ = 0;  // the last byte of the request left
    qint64 releaseAtUs_ = 0;   // the turnaround after it ends (the line is released)
    qint64 quietSinceUs_ = -1; // nothing heard on the line since; -1: not known
    qint64 discarded_ = 0;
    bool portError_ = false;
    ReplyFault echoFault_ = ReplyFault::None;
    bool echoDue_ = false;   // echo: the copy of the frame just sent is still to be read
    bool echoHeard_ = false; // without echo: a reply was the request coming back, this run
    QByteArray carried_;     // bytes read behind the echo: the start of the reply
    int kernelKeyUpMs_ = -1, kernelTurnaroundMs_ = -1; // what the driver was last handed
};

} // namespace fh
