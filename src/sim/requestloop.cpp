#include "sim/requestloop.h"

#include "link/clock.h"
#include "sim/simbus.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace fh {

namespace {
// More than the longest request plus noise: bytes that never form a request are dropped.
constexpr qsizetype MaxPending = 300;
} // namespace

RequestLoop::RequestLoop(LinePeer& peer, int wakeFd, const std::atomic<bool>& stopping)
    : peer_(peer), wakeFd_(wakeFd), stopping_(stopping) {}

int RequestLoop::expectedLength(const QByteArray& pending) {
    if (pending.size() < 2)
        return 0;
    switch (static_cast<quint8>(pending.at(1))) {
    case 3:
    case 4:
    case 6:
        return 8;
    case 200:
        return 12;
    case 16:
        return pending.size() >= 7 ? 9 + static_cast<quint8>(pending.at(6)) : 0;
    default:
        return 0;
    }
}

bool RequestLoop::pause(qint64 us) {
    if (us <= 0)
        return !stopping_;
    pollfd fd{wakeFd_, POLLIN, 0};
    const timespec ts{static_cast<time_t>(us / 1'000'000),
                      static_cast<long>(us % 1'000'000) * 1000};
    const int rc = ::ppoll(&fd, 1, &ts, nullptr);
    return !(rc > 0) && !stopping_;
}

RequestLoop::End RequestLoop::serve(int fd) {
    QByteArray pending;
    char buf[512];
    while (!stopping_) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        const int rc = ::poll(fds, 2, pending.isEmpty() ? -1 : FrameGapMs);
        if (stopping_ || (rc > 0 && (fds[1].revents & POLLIN)))
            return End::Stopped;
        if (rc == 0) {
            // Silence in the middle: whatever came is all of this request (a cut-short one
            // fails its check bytes and gets no answer).
            handle(fd, pending);
            pending.clear();
            continue;
        }
        if (rc < 0) {
            if (errno != EINTR)
                return End::Gone;
            continue;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            pending.append(buf, n);
            for (int len = expectedLength(pending); len > 0 && pending.size() >= len;
                 len = expectedLength(pending)) {
                handle(fd, pending.left(len));
                pending.remove(0, len);
            }
            if (pending.size() > MaxPending)
                pending.clear();
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        return End::Gone; // EIO (no program holds the pty) or end of file
    }
    return End::Stopped;
}

void RequestLoop::handle(int fd, const QByteArray& request) {
    if (request.isEmpty())
        return;
    qint64 t = SteadyClock::instance().nowUs();
    const std::vector<ReplySegment> reply = peer_.answer(request, t);
    for (const ReplySegment& seg : reply) {
        t += seg.delayUs;
        if (!pause(t - SteadyClock::instance().nowUs()))
            return;
        writeAll(fd, seg.bytes);
        // The next stretch is timed from when this one would have left a real line.
        t += std::llround(seg.bytes.size() * SimBus::ByteUs);
    }
}

void RequestLoop::writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size() && !stopping_) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
            if (::poll(fds, 2, 100) > 0 && (fds[1].revents & POLLIN))
                return;
        } else if (!(n < 0 && errno == EINTR)) {
            return; // the client went away; the reply is lost as on an unplugged line
        }
    }
}

ServingThread::ServingThread() {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
}

ServingThread::~ServingThread() {
    stop();
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

void ServingThread::start(std::function<void()> body) {
    if (!ok() || thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread(std::move(body));
}

void ServingThread::stop() {
    stopping_ = true;
    if (wake_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const auto n = ::write(wake_[1], &b, 1);
    }
    if (thread_.joinable())
        thread_.join();
    // Drain the wake byte, so a thread started later does not stop at once.
    char b;
    while (wake_[0] >= 0 && ::read(wake_[0], &b, 1) > 0) {
    }
}

} // namespace fh
