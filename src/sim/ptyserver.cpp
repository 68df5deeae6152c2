#include "sim/ptyserver.h"

#include "sim/requestloop.h"

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
}

bool PtyServer::open(QString* error) {
    auto fail = [&](const char* what) {
        if (error)
            *error = systemError(what);
        return false;
    };
    if (master_ >= 0)
        return true;
    if (!serving_.ok())
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
    if (master_ >= 0)
        serving_.start([this] { run(); });
}

void PtyServer::stop() {
    serving_.stop();
}

void PtyServer::run() {
    RequestLoop loop(peer_, serving_.wakeFd(), serving_.stopping());
    // The pty reports a hang-up at once while no program holds the device open, so wait a
    // little before looking again.
    while (loop.serve(master_) == RequestLoop::End::Gone)
        if (!loop.pause(IdleRetryMs * 1000))
            return;
}

} // namespace fh
