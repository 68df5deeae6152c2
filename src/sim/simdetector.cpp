#include "sim/simdetector.h"

#include "sim/simcheck.h"
#include "sim/simmodels.h"

#include <algorithm>

namespace fh {

namespace {

constexpr quint8 FnReadHolding = 3;
constexpr quint8 FnReadInput = 4;
constexpr quint8 FnWriteSingle = 6;
constexpr quint8 FnWriteMultiple = 16;
constexpr quint8 FnCommand = 200;

constexpr quint8 ExIllegalFunction = 1;
constexpr quint8 ExIllegalAddress = 2;
constexpr quint8 ExIllegalValue = 3;

constexpr quint8 CmdBit = 17;
constexpr quint8 CmdVersion = 20;
constexpr quint8 CmdStatus = 32;

constexpr qsizetype MaxVersion = 200;

quint8 at(const QByteArray& b, int i) {
    return static_cast<quint8>(b.at(i));
}
quint16 word(const QByteArray& b, int i) {
    return static_cast<quint16>((at(b, i) << 8) | at(b, i + 1));
}
void putWord(QByteArray& b, quint16 v) {
    b.append(static_cast<char>(v >> 8));
    b.append(static_cast<char>(v & 0xFF));
}

} // namespace

SimDetector::SimDetector(quint8 address, quint16 modelCode, quint16 serial)
    : address_(address), modelCode_(modelCode), serial_(serial),
      noiseState_(0x9E3779B9u ^ address) {
    const SimFactoryState f = simFactoryState(modelCode);
    setup_ = f.setup;
    inputs_ = f.inputs;
    version_ = f.version;
    inputCount_ = simInputCount(modelCode);
}

quint8 SimDetector::address() const {
    std::lock_guard lock(mutex_);
    return address_;
}
void SimDetector::setAddress(quint8 address) {
    std::lock_guard lock(mutex_);
    address_ = address;
}
quint16 SimDetector::modelCode() const {
    std::lock_guard lock(mutex_);
    return modelCode_;
}
void SimDetector::setModelCode(quint16 code) {
    std::lock_guard lock(mutex_);
    modelCode_ = code;
}
quint16 SimDetector::serial() const {
    std::lock_guard lock(mutex_);
    return serial_;
}
void SimDetector::setSerial(quint16 serial) {
    std::lock_guard lock(mutex_);
    serial_ = serial;
}
quint8 SimDetector::faultFlag() const {
    std::lock_guard lock(mutex_);
    return faultFlag_;
}
void SimDetector::setFaultFlag(quint8 flag) {
    std::lock_guard lock(mutex_);
    faultFlag_ = flag;
}
char SimDetector::statusChar() const {
    std::lock_guard lock(mutex_);
    return statusChar_;
}
void SimDetector::setStatusChar(char c) {
    std::lock_guard lock(mutex_);
    statusChar_ = c;
    statusCycle_.clear();
}
void SimDetector::setStatusCycle(const QByteArray& chars, qint64 stepUs, bool repeat) {
    std::lock_guard lock(mutex_);
    statusCycle_ = stepUs > 0 ? chars : QByteArray();
    statusStepUs_ = stepUs;
    statusRepeats_ = repeat;
    cycleStartUs_ = -1;
    if (!statusCycle_.isEmpty())
        statusChar_ = statusCycle_.at(0);
}

quint16 SimDetector::holding(int reg) const {
    std::lock_guard lock(mutex_);
    if (reg == 0)
        return address_;
    if (reg >= 1 && reg < HoldingCount)
        return setup_[reg - 1];
    return 0;
}
void SimDetector::setHolding(int reg, quint16 value) {
    std::lock_guard lock(mutex_);
    if (reg == 0)
        address_ = static_cast<quint8>(value);
    else if (reg >= 1 && reg < HoldingCount)
        setup_[reg - 1] = value;
}

quint16 SimDetector::input(int reg) const {
    std::lock_guard lock(mutex_);
    return inputLocked(reg);
}
quint16 SimDetector::inputLocked(int reg) const {
    if (reg == 1)
        return serial_;
    if (reg == 3)
        return static_cast<quint16>((faultFlag_ << 8) | static_cast<quint8>(statusChar_));
    if (reg >= 0 && reg < MaxInputCount)
        return inputs_[reg];
    return 0;
}
void SimDetector::setInput(int reg, quint16 value) {
    std::lock_guard lock(mutex_);
    if (reg == 1) {
        serial_ = value;
    } else if (reg == 3) {
        faultFlag_ = static_cast<quint8>(value >> 8);
        statusChar_ = static_cast<char>(value & 0xFF);
        statusCycle_.clear();
    } else if (reg >= 0 && reg < MaxInputCount) {
        inputs_[reg] = value;
    }
}
void SimDetector::setInputFloat(int firstReg, float value) {
    std::lock_guard lock(mutex_);
    simPutFloat(inputs_, firstReg, value);
}
int SimDetector::inputCount() const {
    std::lock_guard lock(mutex_);
    return inputCount_;
}
void SimDetector::setInputCount(int count) {
    std::lock_guard lock(mutex_);
    inputCount_ = std::clamp(count, 1, MaxInputCount);
}

QByteArray SimDetector::version() const {
    std::lock_guard lock(mutex_);
    return version_;
}
void SimDetector::setVersion(const QByteArray& text) {
    std::lock_guard lock(mutex_);
    version_ = text.left(MaxVersion);
}

qint64 SimDetector::latencyUs() const {
    std::lock_guard lock(mutex_);
    return latencyUs_;
}
void SimDetector::setLatencyUs(qint64 us) {
    std::lock_guard lock(mutex_);
    latencyUs_ = std::max<qint64>(0, us);
}

SimFaults SimDetector::faults() const {
    std::lock_guard lock(mutex_);
    return faults_;
}
void SimDetector::setFaults(const SimFaults& faults) {
    std::lock_guard lock(mutex_);
    faults_ = faults;
    everyCount_ = 0;
    heard_ = 0;
}
int SimDetector::requestsSeen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

std::vector<ReplySegment> SimDetector::respond(const QByteArray& request, qint64 endUs) {
    std::lock_guard lock(mutex_);
    if (!simCheckOk(request))
        return {};
    const quint8 target = at(request, 0);
    if (target != 0 && target != address_)
        return {};
    ++seen_;
    if (faults_.ignoreNext > 0) {
        --faults_.ignoreNext;
        return {};
    }
    ++everyCount_;
    if (faults_.answerEvery > 1 && everyCount_ % faults_.answerEvery != 0)
        return {};
    if (faults_.silent)
        return {};
    if (faults_.stopAfter > 0 && ++heard_ > faults_.stopAfter)
        return {};

    QByteArray frame = faults_.exceptionFunction != 0
                           ? exception(faults_.exceptionFunction, faults_.exceptionCode)
                           : protocolReply(request, endUs);
    std::vector<ReplySegment> out;
    if (faults_.echo)
        out.push_back({0, request});
    if (!frame.isEmpty()) {
        if (faults_.replyAddress != 0) {
            frame[0] = static_cast<char>(faults_.replyAddress);
            frame = simWithCheck(frame.left(frame.size() - 2));
        }
        if (faults_.wrongCheck) {
            frame[frame.size() - 2] = static_cast<char>(frame.at(frame.size() - 2) ^ 0xA5);
            frame[frame.size() - 1] = static_cast<char>(frame.at(frame.size() - 1) ^ 0x5A);
        }
        if (faults_.shortReply >= 0 && faults_.shortReply < frame.size())
            frame.truncate(faults_.shortReply);
        const qint64 first = faults_.lateFirstByteUs > 0 ? faults_.lateFirstByteUs : latencyUs_;
        if (faults_.splitAfter > 0 && faults_.splitAfter < frame.size()) {
            out.push_back({first, frame.left(faults_.splitAfter)});
            out.push_back({faults_.splitGapUs, frame.mid(faults_.splitAfter)});
        } else if (!frame.isEmpty()) {
            out.push_back({first, frame});
        }
    }
    if (faults_.garbageBytes > 0)
        out.push_back({faults_.garbageDelayUs, garbage(std::min(faults_.garbageBytes, 4096))});
    return out;
}

QByteArray SimDetector::protocolReply(const QByteArray& request, qint64 endUs) {
    statusAt(endUs);
    const quint8 fn = at(request, 1);
    switch (fn) {
    case FnReadHolding:
        return readRegisters(request, false);
    case FnReadInput:
        return readRegisters(request, true);
    case FnWriteSingle:
        return writeSingle(request);
    case FnWriteMultiple:
        return writeMultiple(request);
    case FnCommand:
        return command(request, endUs);
    default:
        return exception(static_cast<quint8>(fn | 0x80), ExIllegalFunction);
    }
}

QByteArray SimDetector::exception(quint8 function, quint8 code) const {
    QByteArray body;
    body.append(static_cast<char>(address_));
    body.append(static_cast<char>(function));
    body.append(static_cast<char>(code));
    return simWithCheck(body);
}

QByteArray SimDetector::readRegisters(const QByteArray& request, bool input) {
    const quint8 fn = at(request, 1);
    const quint8 exFn = static_cast<quint8>(fn | 0x80);
    if (request.size() != 8)
        return exception(exFn, ExIllegalValue);
    const int first = word(request, 2);
    const int count = word(request, 4);
    if (count < 1 || count > 125)
        return exception(exFn, ExIllegalValue);
    const int limit = input ? inputCount_ : HoldingCount;
    if (first + count > limit)
        return exception(exFn, ExIllegalAddress);
    QByteArray body;
    body.append(static_cast<char>(address_));
    body.append(static_cast<char>(fn));
    body.append(static_cast<char>(2 * count));
    for (int r = first; r < first + count; ++r) {
        quint16 v = 0;
        if (input)
            v = inputLocked(r);
        else
            v = r == 0 ? address_ : setup_[r - 1];
        putWord(body, v);
    }
    return simWithCheck(body);
}

bool SimDetector::storeHolding(int reg, quint16 value) {
    if (reg == 0) {
        if (value < 1 || value > 247)
            return false;
        address_ = static_cast<quint8>(value);
    } else if (reg < HoldingCount) {
        setup_[reg - 1] = value;
    } else {
        return false;
    }
    return true;
}

QByteArray SimDetector::writeSingle(const QByteArray& request) {
    const quint8 exFn = FnWriteSingle | 0x80;
    if (request.size() != 8)
        return exception(exFn, ExIllegalValue);
    const int reg = word(request, 2);
    if (reg >= HoldingCount)
        return exception(exFn, ExIllegalAddress);
    // The echo leaves under the address the request reached, before a new one takes hold.
    QByteArray body = request.left(6);
    body[0] = static_cast<char>(address_);
    if (!storeHolding(reg, word(request, 4)))
        return exception(exFn, ExIllegalValue);
    return simWithCheck(body);
}

QByteArray SimDetector::writeMultiple(const QByteArray& request) {
    const quint8 exFn = FnWriteMultiple | 0x80;
    if (request.size() < 11)
        return exception(exFn, ExIllegalValue);
    const int first = word(request, 2);
    const int count = word(request, 4);
    const int bytes = at(request, 6);
    if (count < 1 || count > 123 || bytes != 2 * count || request.size() != 9 + bytes)
        return exception(exFn, ExIllegalValue);
    if (first + count > HoldingCount)
        return exception(exFn, ExIllegalAddress);
    // All or nothing: a bad address word refuses the whole write.
    if (first == 0 && (word(request, 7) < 1 || word(request, 7) > 247))
        return exception(exFn, ExIllegalValue);
    QByteArray body = request.left(6);
    body[0] = static_cast<char>(address_);
    for (int i = 0; i < count; ++i)
        storeHolding(first + i, word(request, 7 + 2 * i));
    return simWithCheck(body);
}

QByteArray SimDetector::command(const QByteArray& request, qint64 endUs) {
    // Function 200 already has bit 7 set, so an exception reply could not be told from an
    // answer: a command frame the detector does not understand gets no reply at all.
    static const QByteArray key = QByteArray::fromHex("d15b040503");
    if (request.size() != 12 || at(request, 2) != 7 || at(request, 3) != 0 ||
        request.mid(5, 5) != key)
        return {};
    QByteArray body;
    auto head = [&](quint8 code, int count) {
        body.append(static_cast<char>(address_));
        body.append(static_cast<char>(FnCommand));
        body.append(static_cast<char>(count));
        body.append('\0');
        body.append(static_cast<char>(code));
    };
    const quint8 code = at(request, 4);
    switch (code) {
    case CmdStatus:
        head(code, 9);
        putWord(body, modelCode_);
        putWord(body, serial_);
        body.append(static_cast<char>(faultFlag_));
        body.append(statusAt(endUs));
        body.append('\0');
        break;
    case CmdBit:
        head(code, 5);
        body.append(faultFlag_ != 0 ? '\1' : '\0');
        body.append(statusAt(endUs));
        body.append('\0');
        break;
    case CmdVersion:
        head(code, static_cast<int>(6 + version_.size()));
        putWord(body, modelCode_);
        putWord(body, serial_);
        body.append(version_);
        break;
    default:
        return {};
    }
    return simWithCheck(body);
}

char SimDetector::statusAt(qint64 endUs) {
    if (statusCycle_.isEmpty())
        return statusChar_;
    if (cycleStartUs_ < 0)
        cycleStartUs_ = endUs;
    const qint64 step = std::max<qint64>(0, endUs - cycleStartUs_) / statusStepUs_;
    const qint64 last = statusCycle_.size() - 1;
    statusChar_ = statusCycle_.at(
        static_cast<qsizetype>(statusRepeats_ ? step % statusCycle_.size() : std::min(step, last)));
    return statusChar_;
}

QByteArray SimDetector::garbage(int count) {
    QByteArray out;
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        noiseState_ = noiseState_ * 1664525u + 1013904223u;
        out.append(static_cast<char>(noiseState_ >> 24));
    }
    return out;
}

} // namespace fh
