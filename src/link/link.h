#pragma once
// The exchange engine: the buffers every request and reply pass through, sending with the
// transmitter keyed, and reply collection. Plain blocking code; only the line worker's
// thread runs it.
#include "link/clock.h"
#include "link/exchange.h"
#include "link/linemode.h"
#include "link/serialport.h"

#include <array>
#include <functional>

namespace fh {

class Link {
public:
    static constexpr int RxBufSize = 257;
    static constexpr qint64 CommandKeyUs = 4000;   // before every function-200 frame
    static constexpr qint64 FirstByteUs = 600'000; // WaitReply: first byte within this
    static constexpr int CollectMs = 100;          // then this much more, then take all
    static constexpr int WriteSettleMs = 500;      // confirmed write: pause before the wait
    static constexpr quint8 CommandFunction = 200;

    // check judges every collected reply against the request just sent (TxBuf).
    Link(SerialPort& port, Clock& clock, ReplyChecker check);

    QByteArray TxBuf;
    std::array<quint8, RxBufSize> RxBuf{};
    qint16 RxCount = 0;
    // Microseconds the transmitter stays keyed after the last byte has left.
    qint16 TurnaroundDelay = 4000;
    // Who keys the driver. Auto and Kernel never touch RTS, but the key-up time before a
    // function-200 frame and the turnaround stay, so detectors see the same timing.
    LineMode Mode = LineMode::Rts;
    // The adapter returns every byte sent: each request's copy is the first thing back, within
    // the reply's own window, and is removed; a missing or different copy fails the exchange
    // and is never taken for the reply.
    bool Echo = false;

    // Puts the line in its listening state for Mode (releases RTS, or hands the keying to the
    // driver). False when the driver refuses kernel keying (the port's errorText says why).
    bool PrepareLine();
    // Releases the driver where the program keys it (RTS off, or on for RtsInverted).
    void ReleaseLine();

    // Keys the transmitter, waits 4000 us before a function-200 frame, hands the frame over.
    // Returns false when the device refused it.
    bool Send(const QByteArray& frame);
    // Waits until every byte has left, TurnaroundDelay us more, then releases the line.
    void OnTransmitDone();
    // 1 when a reply was collected into RxBuf/RxCount, 0 when no byte came within 600 ms
    // (or the running transaction's firstByteMs) of startUs (then RxBuf and RxCount are left
    // as they were). Either way lastVerdict() holds the reply check's word on it.
    int WaitReply(qint64 startUs);
    int WaitReply() { return WaitReply(clock_.nowUs()); }
    void Delay(int ms) { clock_.sleepUs(qint64(ms) * 1000); }
    // Never returns early.
    void RTMicroDelay(qint64 us) { clock_.sleepUs(us); }

    // The calling patterns; each flushes stale input before every request it sends.
    Exchange run(const Transaction& t);

    // The bytes of the last collected reply.
    QByteArray reply() const;
    const ReplyVerdict& lastVerdict() const { return verdict_; }
    // Bytes beyond RxBuf's 257 that were dropped, over the whole run.
    qint64 discardedBytes() const { return discarded_; }

    // Called with every frame sent and every reply collected (with its verdict).
    std::function<void(const Traffic&)> onTraffic;
    // Called as each attempt of a confirmed write begins: attempt number, attempts at most.
    std::function<void(int attempt, int attempts)> onAttempt;
    // Called with the verdict of every WaitReply, silence included.
    std::function<void(const ReplyVerdict&)> onVerdict;
    // Asked between the slices of every long wait; true ends the exchange early (quitting).
    std::function<bool()> aborted;

private:
    // Sleeps until t in slices, so a quit is noticed; false when aborted.
    bool sleepUntil(qint64 t);
    bool isAborted() const { return aborted && aborted(); }
    bool sendAndRelease(const QByteArray& frame, qint64* sentAtUs);
    // Reads the adapter's copy of frame, due by deadlineUs; what follows it is kept for the
    // reply.
    ReplyFault takeEcho(const QByteArray& frame, qint64 deadlineUs);
    // Without Echo: a reply that is a bare copy of its request passes the reply check only as
    // long as the line has never echoed; after that it is the adapter's echo.
    void distrustCopies();
    bool handKernelKeying(qint64 keyUpUs);

    SerialPort& port_;
    Clock& clock_;
    // Collects into RxBuf/RxCount until the window after the first byte ends, or (fastReply_)
    // until a frame of known length is in and the line has gone silent.
    void collect(qint64 firstByteAtUs);
    void reportNoReply();

    ReplyChecker check_;
    ReplyVerdict verdict_;
    qint64 firstByteUs_ = FirstByteUs;
    bool fastReply_ = false;
    qint64 requestEndUs_ = 0; // the last byte of the request left
    qint64 discarded_ = 0;
    bool portError_ = false;
    ReplyFault echoFault_ = ReplyFault::None;
    bool echoDue_ = false;   // Echo: the copy of the frame just sent is still to be read
    bool echoHeard_ = false; // without Echo: a reply was the request coming back, this run
    QByteArray carried_;     // bytes read behind the echo: the start of the reply
    int kernelKeyUpMs_ = -1, kernelTurnaroundMs_ = -1; // what the driver was last handed
};

} // namespace fh
