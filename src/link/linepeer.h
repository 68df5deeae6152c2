#pragma once
// What sits at the far end of the virtual line: something that hears a request and answers.
#include <QByteArray>
#include <vector>

namespace fh {

// One stretch of reply bytes sent back to back at line speed. delayUs is the silence before
// its first byte starts: after the request's last byte for the first segment, after the
// previous segment's last byte for the others.
struct ReplySegment {
    qint64 delayUs = 0;
    QByteArray bytes;
};

class LinePeer {
public:
    virtual ~LinePeer() = default;
    // The bytes of one request as they reached the line (a request cut short by an early
    // release of RTS arrives cut short), and the clock time its last byte ended.
    // Called on the line worker's thread.
    virtual std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) = 0;
};

} // namespace fh
