#pragma once
// The detectors' side of a byte stream (a pseudo-terminal, a TCP connection): requests cut
// out by their length or a gap, each answered through the bus with the reply's line timing.
#include "link/linepeer.h"

#include <atomic>
#include <QByteArray>

namespace fh {

class RequestLoop {
public:
    // A gap this long in the middle of a request ends it (about four byte times at 9600
    // baud, widened because pseudo-terminals and networks hand bytes over in bursts).
    static constexpr int FrameGapMs = 20;

    // wakeFd becomes readable when stopping is set.
    RequestLoop(LinePeer& peer, int wakeFd, const std::atomic<bool>& stopping);

    enum class End { Stopped, Gone };
    // Serves fd until asked to stop or the far end goes away (hang-up, end of file).
    End serve(int fd);
    // Sleeps, or less when asked to stop; false when asked to stop.
    bool pause(qint64 us);

    // Length of a request by its function byte, or 0 when only a gap can tell.
    static int expectedLength(const QByteArray& pending);

private:
    void handle(int fd, const QByteArray& request);
    void writeAll(int fd, const QByteArray& bytes);

    LinePeer& peer_;
    int wakeFd_;
    const std::atomic<bool>& stopping_;
};

} // namespace fh
