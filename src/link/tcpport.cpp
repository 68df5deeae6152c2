#include "link/tcpport.h"

#include "link/clock.h"
#include "link/wakeevent.h"

#include <algorithm>
#include <cmath>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>

namespace fh {

namespace {
constexpr double ByteUs = 10.0 * 1'000'000.0 / 9600.0;
constexpr int WriteMs = 2000;
const QLatin1String Scheme("tcp://");

bool validHostName(const QString& host) {
    static const QRegularExpression label(QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}"
                                                         "[A-Za-z0-9])?$"));
    if (host.size() > 253)
        return false;
    const QStringList labels = host.split(QLatin1Char('.'));
    return std::all_of(labels.begin(), labels.end(),
                       [](const QString& l) { return label.match(l).hasMatch(); });
}
} // namespace

bool IsTcpAddress(const QString& device) {
    return device.trimmed().startsWith(Scheme, Qt::CaseInsensitive);
}

bool ParseTcpAddress(const QString& text, QString* host, quint16* port, QString* error) {
    const QString t = text.trimmed();
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a network port: %2. Write tcp://HOST:PORT, "
                                    "e.g. tcp://192.168.1.50:4001.")
                         .arg(t, why);
        return false;
    };
    if (!IsTcpAddress(t))
        return fail(QStringLiteral("it does not begin with tcp://"));
    const QString rest = t.mid(Scheme.size());
    QString h;
    QString p;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(QStringLiteral("the [ of the address is not closed"));
        h = rest.mid(1, close - 1);
        if (rest.mid(close + 1, 1) != QLatin1String(":"))
            return fail(QStringLiteral("no port number"));
        p = rest.mid(close + 2);
        if (QHostAddress(h).protocol() != QAbstractSocket::IPv6Protocol)
            return fail(QStringLiteral("%1 is not an IPv6 address").arg(h));
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return fail(QStringLiteral("no port number"));
        h = rest.left(colon);
        p = rest.mid(colon + 1);
        if (h.isEmpty())
            return fail(QStringLiteral("no host"));
        if (QHostAddress(h).isNull() && !validHostName(h))
            return fail(QStringLiteral("\"%1\" is not a host name or address").arg(h));
    }
    if (p.isEmpty())
        return fail(QStringLiteral("no port number"));
    bool ok = false;
    const int n = p.toInt(&ok, 10);
    if (!ok || n < 1 || n > 65535 || p.startsWith(QLatin1Char('+')))
        return fail(
            QStringLiteral("the port must be a whole number from 1 to 65535, not %1").arg(p));
    if (host)
        *host = h;
    if (port)
        *port = quint16(n);
    return true;
}

TcpPort::TcpPort(QString address) : address_(std::move(address)) {}

TcpPort::~TcpPort() {
    close();
}

bool TcpPort::open() {
    close();
    lost_ = false;
    error_.clear();
    QString host;
    quint16 port = 0;
    if (!ParseTcpAddress(address_, &host, &port, &error_))
        return false;
    socket_ = std::make_unique<QTcpSocket>();
    // Frames are small and timed: hand each to the network at once.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_->setReadBufferSize(ReadBufferBytes);
    socket_->connectToHost(host, port);
    if (socket_->waitForConnected(ConnectMs))
        return true;
    QString why;
    switch (socket_->error()) {
    case QAbstractSocket::HostNotFoundError:
        why = QStringLiteral("the host %1 is not known. Check the name, or give the device "
                             "server's IP address.")
                  .arg(host);
        break;
    case QAbstractSocket::ConnectionRefusedError:
        why = QStringLiteral("the connection was refused. Is the device server on, and in raw "
                             "TCP mode on port %1?")
                  .arg(port);
        break;
    case QAbstractSocket::SocketTimeoutError:
        why = QStringLiteral("no answer within %1 s. Check the address and the network cable.")
                  .arg(ConnectMs / 1000);
        break;
    default:
        why = socket_->errorString() + QLatin1Char('.');
        break;
    }
    error_ = QStringLiteral("Cannot open %1: %2").arg(address_, why);
    socket_.reset();
    return false;
}

void TcpPort::close() {
    if (!socket_)
        return;
    socket_->abort();
    socket_.reset();
}

bool TcpPort::isOpen() const {
    return socket_ != nullptr;
}

bool TcpPort::lost() const {
    return lost_;
}

bool TcpPort::setRts(bool on) {
    rts_ = on;
    return isOpen();
}

void TcpPort::markLost(const QString& reason) {
    if (!lost_)
        error_ = QStringLiteral("%1 went away: %2.").arg(address_, reason);
    lost_ = true;
}

void TcpPort::pull() {
    if (!socket_ || lost_)
        return;
    // Without an event loop the socket reads only inside a wait.
    socket_->waitForReadyRead(0);
    if (socket_->state() != QAbstractSocket::ConnectedState)
        markLost(socket_->error() == QAbstractSocket::RemoteHostClosedError
                     ? QStringLiteral("the device server closed the connection")
                     : socket_->errorString());
}

bool TcpPort::write(const QByteArray& bytes) {
    if (!socket_ || lost_)
        return false;
    Clock& clock = SteadyClock::instance();
    const qint64 start = std::max(clock.nowUs(), txBusyUntilUs_);
    txBusyUntilUs_ = start + std::llround(double(bytes.size()) * ByteUs);
    if (socket_->write(bytes) != bytes.size()) {
        markLost(socket_->errorString());
        return false;
    }
    const QDeadlineTimer deadline(WriteMs);
    while (socket_->bytesToWrite() > 0) {
        if (!socket_->waitForBytesWritten(int(std::max<qint64>(1, deadline.remainingTime())))) {
            markLost(socket_->state() == QAbstractSocket::ConnectedState
                         ? QStringLiteral("the connection does not take bytes")
                         : socket_->errorString());
            return false;
        }
    }
    return true;
}

bool TcpPort::waitUntilSent() {
    if (!socket_ || lost_)
        return false;
    SteadyClock::instance().sleepUntilUs(txBusyUntilUs_);
    pull();
    return !lost_;
}

int TcpPort::bytesWaiting() {
    pull();
    return socket_ ? int(std::min<qint64>(socket_->bytesAvailable(), 1 << 20)) : 0;
}

QByteArray TcpPort::readAll() {
    pull();
    return socket_ ? socket_->readAll() : QByteArray();
}

int TcpPort::flushInput() {
    return int(std::min<qint64>(readAll().size(), 1 << 20));
}

bool TcpPort::waitForInput(qint64 deadlineUs, const WakeEvent* wake) {
    for (;;) {
        if (!socket_ || lost_)
            return false;
        if (socket_->bytesAvailable() > 0)
            return true;
#ifdef Q_OS_UNIX
        // One wait in the kernel for the socket, the deadline or the stop event; the socket
        // then takes what arrived into its buffer.
        const int events = PollUntil(int(socket_->socketDescriptor()), deadlineUs, wake);
        if (events < 0)
            return false;
        const bool ready = events != 0;
#else
        if (wake && wake->raised())
            return false;
        const qint64 leftUs = deadlineUs - SteadyClock::instance().nowUs();
        const bool ready = leftUs > 0 && socket_->waitForReadyRead(
                                             int(std::min<qint64>((leftUs + 999) / 1000, 60'000)));
#endif
        if (ready)
            pull();
        if (lost_)
            return false;
        if (socket_->bytesAvailable() > 0)
            return true;
        if (!ready && SteadyClock::instance().nowUs() >= deadlineUs)
            return false;
    }
}

} // namespace fh
