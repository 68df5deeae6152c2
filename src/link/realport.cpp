#include "link/realport.h"

#include "link/clock.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <QDeadlineTimer>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace fh {

namespace {
// Longest a write may take to reach the driver: the output buffer at 9600 baud with room.
constexpr int HandOverMs = 2000;
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

    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(device_);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);

    if (!port_->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError e = port_->error();
        bool denied = false;
#ifdef Q_OS_UNIX
        if (e == QSerialPort::PermissionError)
            denied = ::access(QFile::encodeName(device_).constData(), R_OK | W_OK) != 0 &&
                     errno == EACCES;
#endif
        // A terminal call on /dev/null fails with "Inappropriate ioctl for device".
        error_ = NotASerialPort(device_)
                     ? QStringLiteral("Cannot open %1: not a serial port.").arg(device_)
                     : DescribePortError(device_, e, port_->errorString(), denied);
        port_.reset();
        return false;
    }
    port_->clear(QSerialPort::Input);
    // Many drivers raise RTS on open, which would key the line driver and jam the bus until the
    // first request; release it. A device without RTS just refuses.
    port_->setRequestToSend(false);
    port_->clearError();
    return true;
}

void RealPort::close() {
    if (!port_)
        return;
    port_->close();
    port_.reset();
}

bool RealPort::isOpen() const {
    return port_ && port_->isOpen();
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
    if (!isOpen())
        return false;
    const bool ok = port_->setRequestToSend(on);
    port_->clearError();
    return ok;
}

bool RealPort::setKernelKeying(int keyUpMs, int turnaroundMs) {
    if (!isOpen())
        return false;
    QString why;
#ifdef Q_OS_LINUX
    serial_rs485 conf{};
    // Keep what the driver already knows (termination, receive-during-send), change the keying.
    if (::ioctl(port_->handle(), TIOCGRS485, &conf) != 0)
        conf = serial_rs485{};
    conf.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    conf.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
    conf.delay_rts_before_send = static_cast<__u32>(std::max(0, keyUpMs));
    conf.delay_rts_after_send = static_cast<__u32>(std::max(0, turnaroundMs));
    if (::ioctl(port_->handle(), TIOCSRS485, &conf) == 0)
        return true;
    why = QString::fromLocal8Bit(::strerror(errno));
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
    if (bytes.isEmpty())
        return true;
    if (port_->write(bytes) != bytes.size()) {
        takeError("writing to");
        return false;
    }
    return handOver();
}

bool RealPort::handOver() {
    // QSerialPort buffers; push everything into the driver now, on this thread.
    const QDeadlineTimer deadline(HandOverMs + 2 * port_->bytesToWrite());
    while (port_->bytesToWrite() > 0) {
        if (port_->waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime()))))
            continue;
        const bool timedOut = port_->error() == QSerialPort::TimeoutError;
        takeError("writing to");
        if (!timedOut || deadline.hasExpired() || lost_)
            return false;
    }
    return true;
}

bool RealPort::waitUntilSent() {
    if (!isOpen() || lost_)
        return false;
    if (!handOver())
        return false;
#ifdef Q_OS_UNIX
    // The driver has every byte; tcdrain returns once the UART has shifted out the last one.
    while (::tcdrain(port_->handle()) != 0) {
        if (errno == EINTR)
            continue;
        const int failed = errno;
        if (goneErrno() != 0 || failed == EIO || failed == ENXIO || failed == ENODEV)
            markLost(QString::fromLocal8Bit(::strerror(failed)));
        return false;
    }
#elif defined(Q_OS_WIN)
    if (!::FlushFileBuffers(reinterpret_cast<HANDLE>(port_->handle()))) {
        takeError("draining");
        return false;
    }
#endif
    return true;
}

void RealPort::pull() {
    if (!isOpen() || lost_)
        return;
    // Without an event loop QSerialPort reads from the driver only inside a wait.
    port_->waitForReadyRead(0);
    takeError("reading from");
}

int RealPort::bytesWaiting() {
    pull();
    if (!isOpen())
        return 0;
    return int(std::min<qint64>(port_->bytesAvailable(), std::numeric_limits<int>::max()));
}

QByteArray RealPort::readAll() {
    pull();
    return isOpen() ? port_->readAll() : QByteArray();
}

void RealPort::flushInput() {
    if (!isOpen())
        return;
    port_->clear(QSerialPort::Input);
    takeError("flushing");
}

bool RealPort::waitForInput(qint64 deadlineUs) {
    Clock& clock = SteadyClock::instance();
    for (;;) {
        if (!isOpen() || lost_)
            return false;
        if (port_->bytesAvailable() > 0)
            return true;
        const qint64 leftUs = deadlineUs - clock.nowUs();
        // Rounded up: the wait may end a little after the deadline, never before it.
        const int ms = leftUs <= 0 ? 0 : int(std::min<qint64>((leftUs + 999) / 1000, 60'000));
        if (port_->waitForReadyRead(ms))
            continue;
        const QSerialPort::SerialPortError e = port_->error();
        takeError("reading from");
        if (lost_)
            return false;
        if (leftUs <= 0)
            return port_->bytesAvailable() > 0;
        if (e != QSerialPort::TimeoutError && e != QSerialPort::NoError) {
            // A failure that is not a lost device: do not spin on it.
            clock.sleepUntilUs(std::min(deadlineUs, clock.nowUs() + 10'000));
        }
    }
}

void RealPort::takeError(const char* doing) {
    if (!port_)
        return;
    const QSerialPort::SerialPortError e = port_->error();
    if (e == QSerialPort::NoError)
        return;
    QString reason = port_->errorString();
    port_->clearError();
    if (e == QSerialPort::TimeoutError || e == QSerialPort::UnsupportedOperationError)
        return;
    const int gone = goneErrno();
    if (gone != 0 || e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError) {
        // Qt may report a stale errno here; the probe's own reason is the true one.
        if (gone != 0)
            reason = QString::fromLocal8Bit(::strerror(gone));
        markLost(reason);
        return;
    }
    error_ = QStringLiteral("Error %1 %2: %3.").arg(QLatin1String(doing), device_, reason);
}

void RealPort::markLost(const QString& reason) {
    if (!lost_)
        error_ = QStringLiteral("%1 went away: %2.").arg(device_, reason);
    lost_ = true;
}

int RealPort::goneErrno() const {
#ifdef Q_OS_UNIX
    if (!isOpen())
        return 0;
    // A hung-up terminal (adapter unplugged, far end of a pty closed) refuses even this.
    termios t{};
    if (::tcgetattr(port_->handle(), &t) == 0)
        return 0;
    const int e = errno;
    return (e == EIO || e == ENXIO || e == ENODEV || e == EBADF) ? e : 0;
#else
    return 0;
#endif
}

QString KernelKeyingRefused(const QString& device, const QString& reason) {
    return QStringLiteral("%1 cannot use line driver mode \"kernel\": its driver refuses to key "
                          "the line (TIOCSRS485: %2).\n\nChoose another line driver: \"auto\" "
                          "for adapters that switch by themselves, \"rts\" otherwise.")
        .arg(device, reason);
}

bool NotASerialPort(const QString& device) {
#ifdef Q_OS_UNIX
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
#else
    Q_UNUSED(device);
    return false;
#endif
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
