#include "link/realport.h"

#include "link/clock.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <QFile>

#ifndef Q_OS_UNIX
#error "RealPort drives the serial device through POSIX calls"
#endif
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#endif

namespace fh {

namespace {
// Longest a request may wait for room in the driver's output buffer (it never should: a
// request is a few bytes and the buffer holds kilobytes).
constexpr int HandOverMs = 2000;
// Bytes taken per read: more than a reply buffer and its echo, so one read takes a reply.
constexpr qsizetype ReadChunk = 4096;

QString systemReason(int e) {
    return QString::fromLocal8Bit(::strerror(e));
}

bool deviceGone(int e) {
    return e == EIO || e == ENXIO || e == ENODEV || e == EBADF;
}
} // namespace

RealPort::RealPort(QString device) : device_(std::move(device)) {}

RealPort::~RealPort() {
    close();
}

bool RealPort::open() {
    close();
    lost_ = false;
    error_.clear();
    rts_ = false;
    rtsRefused_ = false;

    port_ = OpenLinePort(device_, QIODevice::ReadWrite, &error_);
    if (!port_)
        return false;
    fd_ = int(port_->handle());
    // Every read and write returns at once; the waits are ppoll and tcdrain.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    flushInput();
    // Many drivers raise RTS on open, which would key the line driver and jam the bus until the
    // first request; release it. A device without RTS refuses, once.
    setRts(false);
    return true;
}

void RealPort::close() {
    if (!port_)
        return;
    port_->close();
    port_.reset();
    fd_ = -1;
}

bool RealPort::isOpen() const {
    return fd_ >= 0;
}

bool RealPort::lost() const {
    return lost_;
}

QString RealPort::errorText() const {
    return error_;
}

bool RealPort::setRts(bool on) {
    // The last value written is what rts() reads back, whether or not the device took it.
    rts_ = on;
    if (!isOpen() || lost_ || rtsRefused_)
        return false;
    int bit = TIOCM_RTS;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0)
        return true;
    const int e = errno;
    if (deviceGone(e) && goneErrno() != 0)
        markLost(systemReason(e));
    else
        rtsRefused_ = true; // no modem lines (ENOTTY on a pty): it will not change its mind
    return false;
}

bool RealPort::setKernelKeying(int keyUpMs, int turnaroundMs) {
    if (!isOpen())
        return false;
    QString why;
#ifdef Q_OS_LINUX
    serial_rs485 conf{};
    // Keep what the driver already knows (termination, receive-during-send), change the keying.
    if (::ioctl(fd_, TIOCGRS485, &conf) != 0)
        conf = serial_rs485{};
    conf.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    conf.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
    conf.delay_rts_before_send = static_cast<__u32>(std::max(0, keyUpMs));
    conf.delay_rts_after_send = static_cast<__u32>(std::max(0, turnaroundMs));
    if (::ioctl(fd_, TIOCSRS485, &conf) == 0)
        return true;
    why = systemReason(errno);
#else
    Q_UNUSED(keyUpMs);
    Q_UNUSED(turnaroundMs);
    why = QStringLiteral("this system has no kernel RS-485 keying");
#endif
    error_ = KernelKeyingRefused(device_, why);
    return false;
}

bool RealPort::write(const QByteArray& bytes) {
    if (!isOpen() || lost_)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The driver's buffer is full: a device that does not send. Wait for room, once.
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, HandOverMs) > 0 && (p.revents & POLLOUT))
                continue;
            error_ = QStringLiteral("Error writing to %1: the device does not take the bytes.")
                         .arg(device_);
            return false;
        }
        failed("writing to", n < 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool RealPort::waitUntilSent() {
    if (!isOpen() || lost_)
        return false;
    // The driver has every byte; tcdrain returns once the UART has shifted out the last one.
    while (::tcdrain(fd_) != 0) {
        if (errno == EINTR)
            continue;
        failed("draining", errno);
        return false;
    }
    return true;
}

int RealPort::bytesWaiting() {
    int n = 0;
    if (!isOpen() || lost_ || ::ioctl(fd_, FIONREAD, &n) != 0)
        return 0;
    return n;
}

QByteArray RealPort::readAll() {
    QByteArray out;
    if (!isOpen() || lost_)
        return out;
    // Most reads find nothing or a short reply: nothing is allocated for an empty one.
    char chunk[ReadChunk];
    for (;;) {
        const ssize_t n = ::read(fd_, chunk, sizeof chunk);
        if (n > 0)
            out.append(chunk, qsizetype(n));
        if (n == ReadChunk)
            continue; // a flood: there may be more
        if (n < 0 && errno == EINTR)
            continue;
        // Raw mode without a minimum: an empty read is simply nothing waiting.
        if (n < 0 && errno != EAGAIN)
            failed("reading from", errno);
        return out;
    }
}

int RealPort::flushInput() {
    // Reading what waits drops it as well as TCFLSH would, and tells how much there was.
    return int(std::min<qsizetype>(readAll().size(), std::numeric_limits<int>::max()));
}

bool RealPort::waitForInput(qint64 deadlineUs, const WakeEvent* wake) {
    if (!isOpen() || lost_)
        return false;
    const int events = PollUntil(fd_, deadlineUs, wake);
    if (events <= 0)
        return false; // the deadline, or the stop event
    const bool hungUp = events & (POLLHUP | POLLERR | POLLNVAL);
    if ((events & POLLIN) && (!hungUp || bytesWaiting() > 0))
        return true;
    // Hung up (an adapter pulled, the far end of a pty closed): find the system's reason.
    int e = goneErrno();
    char probe = 0;
    if (e == 0 && ::read(fd_, &probe, 1) < 0)
        e = errno;
    markLost(e != 0 ? systemReason(e) : QStringLiteral("the device hung up"));
    return false;
}

void RealPort::failed(const char* doing, int e) {
    if (deviceGone(e) || goneErrno() != 0) {
        const int gone = goneErrno();
        markLost(systemReason(gone != 0 ? gone : e));
        return;
    }
    error_ = QStringLiteral("Error %1 %2: %3.").arg(QLatin1String(doing), device_, systemReason(e));
}

void RealPort::markLost(const QString& reason) {
    if (!lost_)
        error_ = QStringLiteral("%1 went away: %2.").arg(device_, reason);
    lost_ = true;
}

int RealPort::goneErrno() const {
    if (!isOpen())
        return 0;
    // A hung-up terminal (adapter unplugged, far end of a pty closed) refuses even this.
    termios t{};
    if (::tcgetattr(fd_, &t) == 0)
        return 0;
    const int e = errno;
    return deviceGone(e) ? e : 0;
}

namespace {
// Where the serial-port library looks for a device given by name only.
QString systemPath(const QString& device) {
    if (device.startsWith(QLatin1Char('/')) || device.startsWith(QLatin1String("./")) ||
        device.startsWith(QLatin1String("../")))
        return device;
    return QStringLiteral("/dev/") + device;
}
} // namespace

std::unique_ptr<QSerialPort> OpenLinePort(const QString& device, QIODevice::OpenMode mode,
                                          QString* error) {
    // An unplugged adapter's device node is gone. Say so at once: the library's open would
    // first create, write, sync and delete a lock file, once a second while the worker waits
    // for the adapter to come back.
    struct stat st {};
    if (!device.isEmpty() && ::stat(QFile::encodeName(systemPath(device)).constData(), &st) != 0 &&
        errno == ENOENT) {
        *error = DescribePortError(device, QSerialPort::DeviceNotFoundError, systemReason(ENOENT),
                                   false);
        return nullptr;
    }
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    port->setBaudRate(QSerialPort::Baud9600);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    if (port->open(mode))
        return port;
    const QSerialPort::SerialPortError e = port->error();
    bool denied = false;
    if (e == QSerialPort::PermissionError)
        denied = ::access(QFile::encodeName(device).constData(),
                          mode & QIODevice::WriteOnly ? R_OK | W_OK : R_OK) != 0 &&
                 errno == EACCES;
    // A terminal call on /dev/null fails with "Inappropriate ioctl for device".
    *error = NotASerialPort(device)
                 ? QStringLiteral("Cannot open %1: not a serial port.").arg(device)
                 : DescribePortError(device, e, port->errorString(), denied);
    return nullptr;
}

QString KernelKeyingRefused(const QString& device, const QString& reason) {
    return QStringLiteral("%1 cannot use line driver mode \"kernel\": its driver refuses to key "
                          "the line (TIOCSRS485: %2).\n\nChoose another line driver: \"auto\" "
                          "for adapters that switch by themselves, \"rts\" otherwise.")
        .arg(device, reason);
}

bool NotASerialPort(const QString& device) {
    const QByteArray path = QFile::encodeName(device);
    struct stat st {};
    if (device.isEmpty() || ::stat(path.constData(), &st) != 0)
        return false; // missing: the open says so itself
    if (!S_ISCHR(st.st_mode))
        return true;
    const int fd = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false; // busy or not ours: the open gives the better reason
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return !terminal;
}

QString DescribePortError(const QString& device, QSerialPort::SerialPortError error,
                          const QString& reason, bool accessDenied) {
    QString why = reason.trimmed();
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    if (why.isEmpty())
        why = QStringLiteral("unknown error");
    QString text = QStringLiteral("Cannot open %1: %2.").arg(device, why);
    if (accessDenied) {
        text += QStringLiteral(
            "\n\nThis user may not use serial ports. Add the user to the dialout group "
            "(sudo usermod -aG dialout $USER), then log out and in again.");
    } else if (error == QSerialPort::PermissionError) {
        text += QStringLiteral("\n\nThe port may be in use by another program.");
    } else if (error == QSerialPort::DeviceNotFoundError) {
        text += QStringLiteral("\n\nThere is no such port on this computer.");
    }
    return text;
}

} // namespace fh
