#include "sim/ptyserver.h"

#include "link/clock.h"
#include "sim/simbus.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace fh {

namespace {

// More than the longest request plus noise: bytes that never form a request are dropped.
constexpr qsizetype MaxPending = 300;

QString systemError(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

PtyServer::PtyServer(LinePeer& peer) : peer_(peer) {}

PtyServer::~PtyServer() {
    stop();
    if (master_ >= 0)
        ::close(master_);
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

bool PtyServer::open(QString* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = systemError(what);
        return false;
    };
    if (master_ >= 0)
        return true;
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail("pipe");
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0)
        return fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        return fail("grantpt/unlockpt");
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    path_ = QString::fromLocal8Bit(name);

    // Raw line discipline on the device side: no echo, no CR/LF mapping, no signals from
    // control bytes. The settings stay with the terminal when clients come and go.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0)
        return fail("open pseudo-terminal device");
    termios tio{};
    bool ok = ::tcgetattr(slave, &tio) == 0;
    if (ok) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        ok = ::tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    if (!ok) {
        const int saved = errno;
        ::close(slave);
        errno = saved;
        return fail("set raw mode");
    }
    ::close(slave);
    const int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    return true;
}

void PtyServer::start() {
    if (master_ < 0 || thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void PtyServer::stop() {
    stopping_ = true;
    if (wake_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const auto n = ::write(wake_[1], &b, 1);
    }
    if (thread_.joinable())
        thread_.join();
}

int PtyServer::expectedLength(const QByteArray& pending) {
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

bool PtyServer::pause(qint64 us) {
    if (us <= 0)
        return !stopping_;
    pollfd fd{wake_[0], POLLIN, 0};
    const timespec ts{static_cast<time_t>(us / 1'000'000),
                      static_cast<long>(us % 1'000'000) * 1000};
    const int rc = ::ppoll(&fd, 1, &ts, nullptr);
    return !(rc > 0) && !stopping_;
}

void PtyServer::run() {
    QByteArray pending;
    char buf[512];
    while (!stopping_) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int rc = ::poll(fds, 2, pending.isEmpty() ? -1 : FrameGapMs);
        if (stopping_ || (rc > 0 && (fds[1].revents & POLLIN)))
            return;
        if (rc == 0) {
            // Silence in the middle: whatever came is all of this request (a cut-short one
            // fails its check bytes and gets no answer).
            handle(pending);
            pending.clear();
            continue;
        }
        if (rc < 0) {
            if (errno != EINTR && !pause(IdleRetryMs * 1000))
                return;
            continue;
        }
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            pending.append(buf, n);
            for (int len = expectedLength(pending); len > 0 && pending.size() >= len;
                 len = expectedLength(pending)) {
                handle(pending.left(len));
                pending.remove(0, len);
            }
            if (pending.size() > MaxPending)
                pending.clear();
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        // EIO or end of file: no program holds the device open. The poll reports a hang-up
        // at once in that state, so wait a little before looking again.
        pending.clear();
        if (!pause(IdleRetryMs * 1000))
            return;
    }
}

void PtyServer::handle(const QByteArray& request) {
    if (request.isEmpty())
        return;
    qint64 t = SteadyClock::instance().nowUs();
    const std::vector<ReplySegment> reply = peer_.answer(request, t);
    for (const ReplySegment& seg : reply) {
        t += seg.delayUs;
        if (!pause(t - SteadyClock::instance().nowUs()))
            return;
        writeAll(seg.bytes);
        // The next stretch is timed from when this one would have left a real line.
        t += std::llround(seg.bytes.size() * SimBus::ByteUs);
    }
}

void PtyServer::writeAll(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size() && !stopping_) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(fds, 2, 100) > 0 && (fds[1].revents & POLLIN))
                return;
        } else if (!(n < 0 && errno == EINTR)) {
            return; // the client went away; the reply is lost as on an unplugged line
        }
    }
}

} // namespace fh
