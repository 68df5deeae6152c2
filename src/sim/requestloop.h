#pragma once
// The detectors' side of a byte stream (a pseudo-terminal, a TCP connection): requests cut
// out by their length or a gap, each answered through the bus with the reply's line timing.
#include "link/linepeer.h"

#include <atomic>
#include <functional>
#include <QByteArray>
#include <thread>

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

// The thread a server answers on, with the pipe that wakes its waits when it is to stop.
class ServingThread {
public:
    ServingThread(); // makes the wake pipe
    ~ServingThread();
    ServingThread(const ServingThread&) = delete;
    ServingThread& operator=(const ServingThread&) = delete;

    bool ok() const { return wake_[0] >= 0; }
    int wakeFd() const { return wake_[0]; }
    const std::atomic<bool>& stopping() const { return stopping_; }
    bool running() const { return thread_.joinable(); }

    void start(std::function<void()> body);
    // Wakes and joins the thread; afterwards start() may run a new one.
    void stop();

private:
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stopping_{false};
};

} // namespace fh
