#include "link/listenport.h"

#include "link/realport.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace fh {

ListenPort::ListenPort(QString device) : device_(std::move(device)) {}

ListenPort::~ListenPort() = default;

bool ListenPort::open() {
    port_ = OpenLinePort(device_, QIODevice::ReadOnly, &error_);
    if (!port_)
        return false;
    // Drivers raise RTS on open; an adapter keyed by RTS would drive the bus until released.
    port_->setRequestToSend(false);
    port_->clearError();
    return true;
}

QByteArray ListenPort::read(int waitMs) {
    if (!port_ || lost_)
        return {};
    if (port_->bytesAvailable() == 0 && !port_->waitForReadyRead(waitMs)) {
        const QSerialPort::SerialPortError e = port_->error();
        port_->clearError();
        if (e == QSerialPort::ResourceError)
            lost_ = true;
#ifdef Q_OS_UNIX
        termios t{};
        if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError &&
            ::tcgetattr(port_->handle(), &t) != 0)
            lost_ = true;
#endif
    }
    return port_->readAll();
}

} // namespace fh
