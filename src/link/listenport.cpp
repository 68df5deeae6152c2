#include "link/listenport.h"

#include "link/realport.h"

#include <QFile>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <termios.h>
#include <unistd.h>
#endif

namespace fh {

ListenPort::ListenPort(QString device) : device_(std::move(device)) {}

ListenPort::~ListenPort() = default;

bool ListenPort::open() {
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(device_);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadOnly)) {
        const QSerialPort::SerialPortError e = port_->error();
        bool denied = false;
#ifdef Q_OS_UNIX
        if (e == QSerialPort::PermissionError)
            denied = ::access(QFile::encodeName(device_).constData(), R_OK) != 0 && errno == EACCES;
#endif
        error_ = DescribePortError(device_, e, port_->errorString(), denied);
        port_.reset();
        return false;
    }
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
