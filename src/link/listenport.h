#pragma once
// A serial device opened to listen only: read-only, RTS released at once, and no way to
// write. For a bus that a panel already drives: nothing here may disturb it.
#include <memory>
#include <QByteArray>
#include <QString>

class QSerialPort;

namespace fh {

class ListenPort {
public:
    explicit ListenPort(QString device);
    ~ListenPort();
    ListenPort(const ListenPort&) = delete;
    ListenPort& operator=(const ListenPort&) = delete;

    // 9600 8N1 like the host's port; false with errorText() when the device cannot be opened.
    bool open();
    QString errorText() const { return error_; }
    // Waits up to waitMs for bytes and returns what has arrived (possibly nothing).
    QByteArray read(int waitMs);
    // The device went away (adapter pulled, pty closed).
    bool lost() const { return lost_; }

private:
    QString device_;
    std::unique_ptr<QSerialPort> port_;
    QString error_;
    bool lost_ = false;
};

} // namespace fh
