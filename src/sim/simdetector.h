#pragma once
// One simulated flame detector, written from the detector's side of the line: it checks a
// request's check bytes, decides whether it is meant, changes its registers and builds its
// answer. Every member may be called from any thread.
#include "link/linepeer.h"
#include "sim/simfaults.h"

#include <array>
#include <mutex>
#include <QByteArray>
#include <vector>

namespace fh {

class SimDetector {
public:
    static constexpr int HoldingCount = 5;
    static constexpr int MaxInputCount = 22;
    static constexpr qint64 DefaultLatencyUs = 10000;

    // A detector as it leaves the factory for this model (setup, readings, version text and
    // number of input registers chosen by model).
    SimDetector(quint8 address, quint16 modelCode, quint16 serial);

    quint8 address() const;
    void setAddress(quint8 address);
    quint16 modelCode() const;
    // Changes the reported code only; the registers stay as they are.
    void setModelCode(quint16 code);
    quint16 serial() const;
    void setSerial(quint16 serial);
    quint8 faultFlag() const;
    void setFaultFlag(quint8 flag);
    // The status character last reported (or the fixed one when no cycle is set).
    char statusChar() const;
    // A fixed status character; ends any status cycle.
    void setStatusChar(char c);
    // The status runs through chars, one step every stepUs, starting at the first request
    // the detector hears (so a test always sees chars[0] first). Empty chars ends the cycle.
    // Without repeat the last character stays once it is reached.
    void setStatusCycle(const QByteArray& chars, qint64 stepUs, bool repeat = true);

    // Holding register 0 is the bus address; 1..4 the setup words. Out of range reads 0.
    quint16 holding(int reg) const;
    void setHolding(int reg, quint16 value);
    // Input registers as the detector reports them: 1 mirrors the serial number and 3 the
    // fault flag (high byte) and status character (low byte). Out of range reads 0.
    quint16 input(int reg) const;
    void setInput(int reg, quint16 value);
    void setInputFloat(int firstReg, float value);
    int inputCount() const;
    void setInputCount(int count); // 15 or 22 in practice; clamped to 1..22

    QByteArray version() const;
    void setVersion(const QByteArray& text); // at most 200 bytes are kept

    qint64 latencyUs() const;
    void setLatencyUs(qint64 us);

    SimFaults faults() const;
    void setFaults(const SimFaults& faults);
    void clearFaults() { setFaults(SimFaults{}); }

    // Requests with good check bytes addressed to this detector (or to 0) so far, heard or
    // ignored through a fault.
    int requestsSeen() const;

    // The detector's whole reaction to a request on the line: nothing when the request is
    // malformed, has bad check bytes, is meant for another address or a fault keeps it quiet;
    // otherwise the reply as timed segments with the faults applied. endUs is when the
    // request's last byte ended.
    std::vector<ReplySegment> respond(const QByteArray& request, qint64 endUs);

private:
    QByteArray protocolReply(const QByteArray& request, qint64 endUs);
    QByteArray readRegisters(const QByteArray& request, bool input);
    QByteArray writeSingle(const QByteArray& request);
    QByteArray writeMultiple(const QByteArray& request);
    QByteArray command(const QByteArray& request, qint64 endUs);
    QByteArray exception(quint8 function, quint8 code) const;
    bool storeHolding(int reg, quint16 value); // under lock; false for a bad value
    quint16 inputLocked(int reg) const;
    char statusAt(qint64 endUs);
    QByteArray garbage(int count);

    mutable std::mutex mutex_;
    quint8 address_;
    quint16 modelCode_;
    quint16 serial_;
    quint8 faultFlag_ = 0;
    char statusChar_ = 'N';
    QByteArray statusCycle_;
    qint64 statusStepUs_ = 0;
    bool statusRepeats_ = true;
    qint64 cycleStartUs_ = -1;
    std::array<quint16, 4> setup_{};
    std::array<quint16, MaxInputCount> inputs_{};
    int inputCount_ = 15;
    QByteArray version_;
    qint64 latencyUs_ = DefaultLatencyUs;
    SimFaults faults_;
    int seen_ = 0;
    int everyCount_ = 0;
    int heard_ = 0; // requests heard since the faults were set, for stopAfter
    quint32 noiseState_;
};

} // namespace fh
