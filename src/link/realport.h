#pragma once
// The serial device itself. QSerialPort opens and configures it (9600 8N1, exclusive, its lock
// file); from then on the port talks to the file descriptor directly, one system call per
// step: a write hands a request over, a drain waits until it has left, one ppoll waits for a
// reply's bytes (or a deadline, or the stop event), a read takes them. Built on the line
// worker's thread and used only there.
#include "link/serialport.h"

#include <memory>
#include <QSerialPort>

namespace fh {

class RealPort final : public SerialPort {
public:
    // device: a system path (/dev/ttyUSB0, a pseudo-terminal) or a platform name (ttyUSB0).
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
    int flushInput() override;
    bool waitForInput(qint64 deadlineUs, const WakeEvent* wake = nullptr) override;

private:
    // A call on the device failed with errno e: a device that went away marks the port lost,
    // anything else is remembered as the port's error text.
    void failed(const char* doing, int e);
    void markLost(const QString& reason);
    // The system's error number when the open device no longer answers, else 0.
    int goneErrno() const;

    QString device_;
    std::unique_ptr<QSerialPort> port_;
    int fd_ = -1;
    QString error_;
    bool lost_ = false;
    bool rts_ = false;
    bool rtsRefused_ = false; // the device has no RTS line: not asked again until reopened
};

// The device at 9600 8N1 without flow control, opened in mode; nothing, with the operator's
// text in *error, when it cannot be opened. A device that is not there is refused before the
// serial-port library is asked, which would create, sync and delete its lock file first.
std::unique_ptr<QSerialPort> OpenLinePort(const QString& device, QIODevice::OpenMode mode,
                                          QString* error);

// The operator's text for a driver that refuses kernel keying (line mode kernel).
QString KernelKeyingRefused(const QString& device, const QString& reason);

// True when the path names something that exists but is no serial port (/dev/null, a plain
// file, a folder): opening it can only fail, and the reason should say so.
bool NotASerialPort(const QString& device);

// The operator's text for a port that failed: the device, the system's reason, and what to do
// where there is something to do. accessDenied: the device refuses this user (EACCES).
QString DescribePortError(const QString& device, QSerialPort::SerialPortError error,
                          const QString& reason, bool accessDenied);

} // namespace fh
