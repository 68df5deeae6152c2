#pragma once
// The serial device itself, through QSerialPort. Built on the line worker's thread (a
// QSerialPort belongs to the thread that made it) and used only there.
#include "link/serialport.h"

#include <memory>
#include <QSerialPort>

namespace fh {

class RealPort final : public SerialPort {
public:
    // device: a system path (/dev/ttyUSB0, a pseudo-terminal) or a platform name (COM3).
    explicit RealPort(QString device);
    ~RealPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool lost() const override;
    QString errorText() const override;
    QString deviceName() const override { return device_; }
    bool setRts(bool on) override;
    bool rts() const override { return rts_; }
    bool setKernelKeying(int keyUpMs, int turnaroundMs) override;
    bool write(const QByteArray& bytes) override;
    bool waitUntilSent() override;
    int bytesWaiting() override;
    QByteArray readAll() override;
    void flushInput() override;
    bool waitForInput(qint64 deadlineUs) override;

private:
    void pull();
    // Hands every buffered byte to the driver.
    bool handOver();
    // Looks at the port's last error: a device that went away marks the port lost, anything
    // else is forgotten so one hiccup does not stick.
    void takeError(const char* doing);
    void markLost(const QString& reason);
    // The system's error number when the open device no longer answers, else 0.
    int goneErrno() const;

    QString device_;
    std::unique_ptr<QSerialPort> port_;
    QString error_;
    bool lost_ = false;
    bool rts_ = false;
};

// The operator's text for a driver that refuses kernel keying (line mode kernel).
QString KernelKeyingRefused(const QString& device, const QString& reason);

// The operator's text for a port that failed: the device, the system's reason, and what to do
// where there is something to do. accessDenied: the device refuses this user (EACCES).
// True when the path names something that exists but is no serial port (/dev/null, a plain
// file, a folder): opening it can only fail, and the reason should say so.
bool NotASerialPort(const QString& device);

QString DescribePortError(const QString& device, QSerialPort::SerialPortError error,
                          const QString& reason, bool accessDenied);

} // namespace fh
