#pragma once
// The line through a serial device server in raw TCP mode (tcp://HOST:PORT): the same frames
// and windows as a serial port, the bytes carried by a TCP connection. The server switches its
// own RS-485 driver, so there is no RTS here. Built and used on the line worker's thread.
#include "link/serialport.h"

#include <memory>

class QTcpSocket;

namespace fh {

// tcp://HOST:PORT, HOST a name, an IPv4 address or [an IPv6 address], PORT 1 to 65535.
bool IsTcpAddress(const QString& device);
// True with host and port set; else false with *error saying what is wrong with the text.
bool ParseTcpAddress(const QString& text, QString* host, quint16* port, QString* error);

class TcpPort final : public SerialPort {
public:
    // Longest a connection attempt (name lookup included, where it answers) may take.
    static constexpr int ConnectMs = 3000;
    // Most bytes taken from the network per read: a whole reply buffer (257 bytes) with a
    // request's echo in front. A server that floods is held back by the network instead of
    // filling memory; what one read brings beyond a reply is dropped by the link, counted.
    static constexpr qint64 ReadBufferBytes = 320;

    explicit TcpPort(QString address);
    ~TcpPort() override;

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool lost() const override;
    QString errorText() const override { return error_; }
    QString deviceName() const override { return address_; }
    // Nothing to key: the device server switches its line itself.
    bool setRts(bool on) override;
    bool rts() const override { return rts_; }
    bool setKernelKeying(int, int) override { return true; }
    bool write(const QByteArray& bytes) override;
    // Returns when the server has had time to shift the bytes out at 9600 baud.
    bool waitUntilSent() override;
    int bytesWaiting() override;
    QByteArray readAll() override;
    int flushInput() override;
    bool waitForInput(qint64 deadlineUs, const WakeEvent* wake = nullptr) override;

private:
    void pull();
    void markLost(const QString& reason);

    QString address_;
    std::unique_ptr<QTcpSocket> socket_;
    QString error_;
    bool lost_ = false;
    bool rts_ = false;
    qint64 txBusyUntilUs_ = 0;
};

} // namespace fh
