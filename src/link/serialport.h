#pragma once
// The seam between the line worker and a serial device. Only the worker thread calls it
// (except where a method says otherwise).
#include <QByteArray>
#include <QString>

namespace fh {

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device at 9600 8N1, no flow control, input flushed. On failure
    // errorText() names the device and the system's reason.
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The device is gone (adapter pulled, pty closed); the worker reopens it later.
    virtual bool lost() const = 0;
    virtual QString errorText() const = 0;
    virtual QString deviceName() const = 0;

    // Keys the line driver. Returns false where the device has no RTS (pseudo-terminals).
    virtual bool setRts(bool on) = 0;
    virtual bool rts() const = 0;
    // Hands the keying to the serial driver (TIOCSRS485): RTS on keyUpMs before the first byte
    // of every frame, off turnaroundMs after the last. False where the driver refuses it; then
    // errorText() names the device and the reason.
    virtual bool setKernelKeying(int keyUpMs, int turnaroundMs) = 0;

    // Hands the bytes to the device; returns false on a device error.
    virtual bool write(const QByteArray& bytes) = 0;
    // Blocks until every byte written has left the transmitter.
    virtual bool waitUntilSent() = 0;

    virtual int bytesWaiting() = 0;
    virtual QByteArray readAll() = 0;
    // Drops whatever input has arrived so far.
    virtual void flushInput() = 0;
    // Blocks until input is waiting or the clock passes deadlineUs; true when input waits.
    virtual bool waitForInput(qint64 deadlineUs) = 0;
};

} // namespace fh
