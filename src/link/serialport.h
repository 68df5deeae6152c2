#pragma once
// The seam between the line worker and a serial device. Only the worker thread calls it
// (except where a method says otherwise). Every blocking call is one wait that the device or
// the clock ends; tests put a virtual line on virtual time behind it.
#include <QByteArray>
#include <QString>

namespace fh {

class WakeEvent;

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

    // Keys the line driver. Returns false where the device has no RTS (pseudo-terminals); a
    // device that refused once is not asked again until it is reopened.
    virtual bool setRts(bool on) = 0;
    // The value last written, taken or not.
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
    // Takes every byte that has arrived.
    virtual QByteArray readAll() = 0;
    // Drops whatever input has arrived so far and says how many bytes that was, so the caller
    // knows whether the line was quiet.
    virtual int flushInput() = 0;
    // Blocks until input is waiting, the clock reaches deadlineUs or wake (when given) is
    // raised; true when input waits. Never ends before the deadline for any other reason than
    // those and a device that went away.
    virtual bool waitForInput(qint64 deadlineUs, const WakeEvent* wake = nullptr) = 0;
};

} // namespace fh
