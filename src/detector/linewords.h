#pragma once
// What a frame on the line means, in the words the traffic window and `flamehost-cli monitor`
// show: "status request to 12", "status reply: Zorvan A2, serial 20417, status N". Pure
// functions over bytes; a reply is decoded only when its verdict says it is a proper answer.
#include "link/exchange.h"

#include <QByteArray>
#include <QString>

namespace fh {

// A frame as a host sent it (or as a listener heard it go out).
QString DescribeRequest(const QByteArray& request);
// What came back to request, judged by verdict. An empty reply is a window without a byte;
// waitedMs is how long that window was.
QString DescribeReply(const QByteArray& request, const QByteArray& reply,
                      const ReplyVerdict& verdict, int waitedMs = 0);

// What the traffic window and the monitor count.
struct LineCounters {
    qint64 requests = 0;
    qint64 replies = 0;   // answers that passed the reply check (exceptions included)
    qint64 timeouts = 0;  // windows that ended without a byte
    qint64 badCheck = 0;  // replies with wrong check bytes
    qint64 malformed = 0; // short, wrong address, function or command, echoes
    qint64 discarded = 0; // bytes that belong to no frame, and bytes after a frame
    void countRequest() { ++requests; }
    void countReply(const QByteArray& reply, const ReplyVerdict& verdict);
    // "requests 3, replies 2, time-outs 1, bad check bytes 0, ..."
    QString text() const;
};

// Address and function of a frame for the table's columns; -1 when the frame is too short.
int FrameAddress(const QByteArray& frame);
int FrameFunction(const QByteArray& frame);
// The frame's last two bytes are the check of the rest.
bool CheckBytesGood(const QByteArray& frame);

} // namespace fh
