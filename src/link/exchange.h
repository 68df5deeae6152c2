#pragma once
// Exchanges as values: what a screen asks of the line and what comes back.
#include <functional>
#include <QByteArray>
#include <QMetaType>

namespace fh {

// The calling patterns around one request.
enum class Pattern {
    Poll,           // send, collect at once (the window covers transmission and turnaround)
    ButtonRead,     // send, wait until the line is released, collect
    ConfirmedWrite, // up to `attempts` times: send, 500 ms, collect, reply test
    SendOnly,       // send, release the line, collect nothing
};

using ReplyTest = std::function<bool(const QByteArray& reply)>;

struct Transaction {
    Transaction() = default;
    Transaction(Pattern p, QByteArray f) : pattern(p), frame(std::move(f)) {}
    Pattern pattern = Pattern::Poll;
    QByteArray frame;      // complete request, check bytes included
    ReplyTest test;        // ConfirmedWrite only
    int attempts = 6;      // ConfirmedWrite only
    int holdAfterMs = 0;   // no cycle exchange for this long after the command
    int firstByteMs = 600; // WaitReply's first-byte window; shorter only for quick bus scans
};

struct Exchange {
    quint64 id = 0;
    Pattern pattern = Pattern::Poll;
    bool cycle = false;        // a cycle exchange rather than a command
    QByteArray request;        // the last frame sent
    bool collected = false;    // WaitReply gave 1 (for ConfirmedWrite: on the last attempt)
    QByteArray reply;          // RxBuf(0) .. RxBuf(RxCount - 1) of this exchange, else empty
    int attempts = 0;          // requests sent
    bool acknowledged = false; // ConfirmedWrite: an attempt passed the reply test
    bool portError = false;    // the device failed during the exchange
};

// One frame on the line, for the traffic view and tests.
struct Traffic {
    enum Direction { Sent, Received };
    qint64 timeUs = 0;
    Direction direction = Sent;
    QByteArray bytes;
};

} // namespace fh

Q_DECLARE_METATYPE(fh::Exchange)
Q_DECLARE_METATYPE(fh::Traffic)
