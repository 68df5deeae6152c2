#pragma once
// Splits the byte stream a listener hears into frames: a frame ends after 3.5 character times
// of silence, or as soon as it holds the length its function tells and its check bytes are
// right (frames back to back). Frames are paired: what starts within the reply window after
// a request is its reply. Pure: fed bytes and times, so it runs on virtual time in tests.
#include "link/requests.h"

#include <QByteArray>
#include <vector>

namespace fh {

struct HeardFrame {
    enum Kind {
        Request, // a request of a known function with good check bytes
        Reply,   // whatever came within the window after a request
        NoReply, // the window after a request passed in silence (bytes empty)
        Noise,   // bytes that are no request and answer none
    };
    Kind kind = Noise;
    QByteArray bytes;
    QByteArray request;        // Reply and NoReply: the request
    qint64 startUs = 0;        // the first byte's end (NoReply: the request's end)
    qint64 endUs = 0;          // the last byte's end (NoReply: the window's end)
    qint64 sinceRequestUs = 0; // Reply: silence from the request's end to the first byte
};

class FrameSplitter {
public:
    static constexpr qint64 ByteUs = CharUs;
    static constexpr qint64 GapUs = FrameGapUs;
    static constexpr int MaxFrame = 256; // longest frame the protocol allows
    explicit FrameSplitter(qint64 replyWindowUs = 600'000) : windowUs_(replyWindowUs) {}

    // Bytes read at timeUs; they are taken to have arrived back to back, the last at timeUs.
    void feed(const QByteArray& bytes, qint64 timeUs);
    // Time has passed without a byte: ends a frame after the gap, a reply window after it.
    void idle(qint64 nowUs);
    // The end of a run: the frame being heard ends; a reply window still open stays unjudged.
    void finish(qint64 nowUs);
    // The frames completed since the last call, in line order.
    std::vector<HeardFrame> take();

private:
    void add(quint8 byte, qint64 atUs);
    void close();
    int expectedLength() const;

    qint64 windowUs_;
    QByteArray current_;
    qint64 currentStart_ = 0, lastByte_ = 0;
    QByteArray pending_; // a request whose reply window is open
    qint64 pendingEnd_ = 0;
    std::vector<HeardFrame> done_;
};

} // namespace fh
