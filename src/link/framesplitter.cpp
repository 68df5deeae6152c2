#include "link/framesplitter.h"

#include "link/crc.h"
#include "link/requests.h"

#include <algorithm>

namespace fh {

namespace {

bool checkBytesRight(const QByteArray& frame) {
    return frame.size() >= 4 && withCrc(frame.left(frame.size() - 2)) == frame;
}

} // namespace

void FrameSplitter::feed(const QByteArray& bytes, qint64 timeUs) {
    const qint64 n = bytes.size();
    for (qint64 i = 0; i < n; ++i)
        add(static_cast<quint8>(bytes[i]), timeUs - (n - 1 - i) * ByteUs);
}

void FrameSplitter::add(quint8 byte, qint64 atUs) {
    atUs = std::max(atUs, lastByte_); // a chunk's estimated times never run backwards
    // Back to back bytes end ByteUs apart; anything beyond that is silence.
    if (!current_.isEmpty() && atUs - ByteUs - lastByte_ >= GapUs)
        close();
    idle(atUs - ByteUs); // a reply window that ended before this byte began
    if (current_.isEmpty())
        currentStart_ = atUs;
    current_.append(static_cast<char>(byte));
    lastByte_ = atUs;
    const int expected = expectedLength();
    if ((expected > 0 && current_.size() == expected && checkBytesRight(current_)) ||
        current_.size() >= MaxFrame)
        close();
}

int FrameSplitter::expectedLength() const {
    return pending_.isEmpty() ? ExpectedRequestLength(current_)
                              : ExpectedReplyLength(pending_, current_);
}

void FrameSplitter::idle(qint64 nowUs) {
    if (!current_.isEmpty() && nowUs - lastByte_ >= GapUs)
        close();
    if (current_.isEmpty() && !pending_.isEmpty() && nowUs - pendingEnd_ >= windowUs_) {
        HeardFrame f;
        f.kind = HeardFrame::NoReply;
        f.request = pending_;
        f.startUs = pendingEnd_;
        f.endUs = pendingEnd_ + windowUs_;
        done_.push_back(f);
        pending_.clear();
    }
}

void FrameSplitter::finish(qint64 nowUs) {
    if (!current_.isEmpty())
        close();
    idle(nowUs); // a window still open is not called a time-out
}

void FrameSplitter::close() {
    HeardFrame f;
    f.bytes = current_;
    f.startUs = currentStart_;
    f.endUs = lastByte_;
    current_.clear();
    const qint64 firstByteStart = f.startUs - ByteUs;
    if (!pending_.isEmpty() && firstByteStart - pendingEnd_ < windowUs_) {
        f.kind = HeardFrame::Reply;
        f.request = pending_;
        f.sinceRequestUs = std::max<qint64>(0, firstByteStart - pendingEnd_);
        pending_.clear();
        done_.push_back(f);
        return;
    }
    idle(firstByteStart);
    const int expected = ExpectedRequestLength(f.bytes);
    if (expected == f.bytes.size() && checkBytesRight(f.bytes)) {
        f.kind = HeardFrame::Request;
        pending_ = f.bytes;
        pendingEnd_ = f.endUs;
    }
    done_.push_back(f);
}

std::vector<HeardFrame> FrameSplitter::take() {
    std::vector<HeardFrame> out;
    out.swap(done_);
    return out;
}

} // namespace fh
