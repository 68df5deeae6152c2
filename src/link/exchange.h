#pragma once
// Exchanges as values: what a screen asks of the line and what comes back.
#include <array>
#include <functional>
#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <utility>

namespace fh {

// The calling patterns around one request.
enum class Pattern {
    Poll,           // send, collect at once (the window covers transmission and turnaround)
    ButtonRead,     // send, wait until the line is released, collect
    ConfirmedWrite, // up to `attempts` times: send, 500 ms, collect, reply test
    SendOnly,       // send, release the line, collect nothing
};

using ReplyTest = std::function<bool(const QByteArray& reply)>;

// Why collected bytes are not an answer to the request they follow. The line is untrusted:
// nothing is decoded from a reply whose verdict is not None.
enum class ReplyFault : quint8 {
    None,          // a proper answer
    NoReply,       // nothing within the window
    BadCheck,      // check bytes wrong
    OtherAddress,  // address byte is not the one asked (master mode: not 1..247)
    OtherFunction, // function code differs and is not that function's exception
    OtherCommand,  // function 200: command byte differs; 6 and 16: echoed register or value
    Exception,     // the detector refused (function | 0x80); exceptionCode says why
    WrongLength,   // shorter than the function's frame, or a byte count that does not fit
    Echo,          // the request itself came back (an echoing adapter)
    EchoMissing,   // echo expected (--echo) but nothing came back
    EchoDiffers,   // echo expected (--echo) but the bytes are not the request's
};

struct ReplyVerdict {
    ReplyFault fault = ReplyFault::NoReply;
    quint8 exceptionCode = 0;   // ReplyFault::Exception only
    int frameLength = 0;        // bytes that make up the answer; what follows is trailing
    int trailingBytes = 0;      // collected after the complete frame: dropped, never decoded
    bool checkBytesBad = false; // accepted with wrong check bytes (the operator allowed it)
    bool ok() const { return fault == ReplyFault::None; }
};

// Judges collected bytes against the request that drew them (pure; see detector/).
using ReplyChecker =
    std::function<ReplyVerdict(const QByteArray& request, const QByteArray& reply)>;

inline constexpr int ReplyFaultKinds = int(ReplyFault::EchoDiffers) + 1;

// What the reply check said over a run, for the CLI and the traffic view.
struct ReplyFaultCounts {
    std::array<quint64, ReplyFaultKinds> byKind{}; // indexed by ReplyFault
    quint64 acceptedBadCheck = 0; // passed only because bad check bytes were allowed
    quint64 trailingBytes = 0;    // dropped after complete frames
    quint64 overflowBytes = 0;    // dropped beyond the 257-byte reply buffer
    quint64 count(ReplyFault f) const { return byKind[size_t(f)]; }
};

struct Transaction {
    Transaction() = default;
    Transaction(Pattern p, QByteArray f) : pattern(p), frame(std::move(f)) {}
    Pattern pattern = Pattern::Poll;
    QByteArray frame;      // complete request, check bytes included
    ReplyTest test;        // ConfirmedWrite only
    int attempts = 6;      // ConfirmedWrite only
    int holdAfterMs = 0;   // no cycle exchange for this long after the command
    int firstByteMs = 600; // the first-byte window; shorter only for quick bus scans
    // Ends collection 3.5 character times after a reply of known length is complete, instead
    // of always waiting out the 100 ms window.
    bool fastReply = false;
};

struct Exchange {
    quint64 id = 0;
    Pattern pattern = Pattern::Poll;
    bool cycle = false;     // a cycle exchange rather than a command
    QByteArray request;     // the last frame sent
    bool collected = false; // bytes came back (for ConfirmedWrite: on the last attempt)
    bool answered = false;  // collected and the reply check passed: the only bytes to decode
    ReplyVerdict verdict;   // the reply check's word on the (last) collected reply
    // The frame alone (trailing bytes cut off) when answered; else the bytes as collected,
    // for telling the operator what came, never for decoding.
    QByteArray reply;
    int attempts = 0;          // requests sent
    bool acknowledged = false; // ConfirmedWrite: an attempt passed the reply check and test
    bool portError = false;    // the device failed during the exchange
    QString portErrorText;     // portError: the device's own words, naming it
};

// One frame on the line, for the traffic view and tests. A window that ends without a byte
// is a Received record with no bytes and the NoReply verdict.
struct Traffic {
    enum Direction { Sent, Received };
    static Traffic sent(qint64 timeUs, QByteArray bytes) {
        Traffic t;
        t.timeUs = timeUs;
        t.bytes = std::move(bytes);
        return t;
    }
    qint64 timeUs = 0; // when the frame was handed over, or collection ended
    Direction direction = Sent;
    QByteArray bytes;
    ReplyVerdict verdict;   // Received only
    QByteArray request;     // Received only: the frame it answers
    qint64 sinceSentUs = 0; // Received only: end of the request to the first byte (or the
                            // window's end when nothing came)
};

} // namespace fh

Q_DECLARE_METATYPE(fh::Exchange)
Q_DECLARE_METATYPE(fh::Traffic)
