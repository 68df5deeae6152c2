#pragma once
// An in-process line to a LinePeer, paced like a real 9600-baud line and time-stamped, so
// tests can check the keying and the collection windows byte by byte.
#include "link/clock.h"
#include "link/linemode.h"
#include "link/linepeer.h"
#include "link/serialport.h"

#include <deque>
#include <mutex>
#include <vector>

namespace fh {

struct LineEvent {
    enum Kind { RtsOn, RtsOff, TxByte, RxByte, RxLost };
    qint64 timeUs;
    Kind kind;
    quint8 byte = 0;
};

class VirtualPort final : public SerialPort {
public:
    // 10 bit times at 9600 baud.
    static constexpr double ByteUs = 10.0 * 1'000'000.0 / 9600.0;

    VirtualPort(Clock& clock, LinePeer& peer, QString name = QStringLiteral("virtual"));

    bool open() override;
    void close() override;
    bool isOpen() const override;
    bool lost() const override;
    QString errorText() const override;
    QString deviceName() const override { return name_; }
    bool setRts(bool on) override;
    bool rts() const override;
    // Accepted only by an adapter set to LineMode::Kernel.
    bool setKernelKeying(int keyUpMs, int turnaroundMs) override;
    bool write(const QByteArray& bytes) override;
    bool waitUntilSent() override;
    int bytesWaiting() override;
    QByteArray readAll() override;
    int flushInput() override;
    bool waitForInput(qint64 deadlineUs, const WakeEvent* wake = nullptr) override;

    // Any thread: unplug or plug the virtual adapter.
    void setPresent(bool present);
    // What keys the virtual adapter's driver: RTS high (default), RTS low, the adapter itself
    // while bytes leave, or the driver's kernel keying.
    void setAdapter(LineMode keying);
    // The adapter hears its own transmission and returns every byte it sends.
    void setEcho(bool echo);
    // Any thread: record the time line from now on (off by default: only tests read it, and
    // a running program would pile it up).
    void setTracing(bool on);
    // Any thread: the recorded time line (RTS changes, bytes out, bytes in or lost).
    std::vector<LineEvent> events() const;
    void clearEvents();
    // Bytes that arrived while the driver was keyed and so were never heard.
    int lostBytes() const;

private:
    struct Pending {
        QByteArray bytes;
        std::vector<qint64> leaveUs;
    };
    struct Incoming {
        qint64 arrivalUs;
        quint8 byte;
        bool echo = false; // our own byte coming back: heard even while keyed
    };
    void advance(qint64 now);
    bool rtsAt(qint64 t) const;
    // The driver is on at t (it carries our bytes, and our receiver is deaf).
    bool keyedAt(qint64 t) const;
    void record(qint64 t, LineEvent::Kind kind, quint8 byte = 0);
    qint64 nextEventUs() const;

    Clock& clock_;
    LinePeer& peer_;
    QString name_;
    mutable std::mutex mutex_;
    bool present_ = true;
    bool open_ = false;
    bool lostFlag_ = false;
    bool rts_ = false;
    LineMode adapter_ = LineMode::Rts;
    bool echo_ = false;
    bool kernelKeying_ = false;
    qint64 kernelKeyUpUs_ = 0;
    qint64 kernelTurnaroundUs_ = 0;
    std::deque<std::pair<qint64, qint64>> sending_; // recent transmissions, first to last byte
    std::vector<std::pair<qint64, bool>> rtsHistory_;
    qint64 txBusyUntil_ = 0;
    std::deque<Pending> outgoing_;
    std::deque<Incoming> incoming_;
    QByteArray input_;
    bool tracing_ = false;
    std::vector<LineEvent> events_;
    int lost_ = 0;
};

} // namespace fh
