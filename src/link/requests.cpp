#include "link/requests.h"

#include "link/crc.h"

namespace fh {

namespace {

char byte(int value) {
    return static_cast<char>(value & 0xFF);
}

quint8 at(const QByteArray& reply, int index) {
    return static_cast<quint8>(reply.at(index));
}

// Functions 3, 4 and 6 share one 8-byte layout: register and value (or count), high first.
QByteArray registerFrame(quint8 address, quint8 function, quint16 reg, quint16 value) {
    QByteArray body;
    body.reserve(8);
    body.append(byte(address));
    body.append(byte(function));
    body.append(byte(reg >> 8));
    body.append(byte(reg));
    body.append(byte(value >> 8));
    body.append(byte(value));
    return withCrc(body);
}

} // namespace

QByteArray SendCommand(quint8 address, quint8 code) {
    // Bytes 3 and 5 to 9 are fixed; byte 2 counts bytes 3 to 9.
    QByteArray body;
    body.reserve(12);
    body.append(byte(address));
    body.append(byte(fn::Command));
    body.append(byte(7));
    body.append(byte(0x00));
    body.append(byte(code));
    body.append(QByteArray::fromHex("D15B040503"));
    return withCrc(body);
}

QByteArray ReadSetup(quint8 address, int registers) {
    return registerFrame(address, fn::ReadHolding, SetupRegister, quint16(registers));
}

QByteArray ReadAddr(quint8 address) {
    return registerFrame(address, fn::ReadHolding, AddressRegister, 1);
}

QByteArray ReadInputs(quint8 address, int registers) {
    return registerFrame(address, fn::ReadInput, FirstInputRegister, quint16(registers));
}

QByteArray WriteAddr(quint8 currentAddress, quint8 newAddress) {
    return registerFrame(currentAddress, fn::WriteSingle, AddressRegister, newAddress);
}

int ExpectedRequestLength(const QByteArray& begin) {
    if (begin.size() < 2)
        return 0;
    switch (at(begin, 1)) {
    case fn::ReadHolding:
    case fn::ReadInput:
    case fn::WriteSingle:
        return 8;
    case fn::WriteMultiple:
        return begin.size() > 6 ? 9 + at(begin, 6) : 0;
    case fn::Command:
        return 12;
    default:
        return 0;
    }
}

int ExpectedReplyLength(const QByteArray& request, const QByteArray& begin) {
    if (request.size() < 2 || begin.size() < 2)
        return 0;
    const quint8 function = at(request, 1);
    const quint8 answer = at(begin, 1);
    // Function 200 has bit 7 set itself, so only the register functions have exceptions.
    if (function != fn::Command && answer == (function | 0x80))
        return ExceptionReplyLength;
    if (answer != function)
        return 0;
    switch (function) {
    case fn::ReadHolding:
    case fn::ReadInput:
        return begin.size() > 2 ? 5 + at(begin, 2) : 0;
    case fn::WriteSingle:
    case fn::WriteMultiple:
        return WriteReplyLength;
    case fn::Command:
        return request.size() > 4 && at(request, 4) == cmd::Status ? StatusReplyLength : 0;
    default:
        return 0;
    }
}

int ProperReplyLength(const QByteArray& request) {
    if (request.size() < 6)
        return 0;
    switch (at(request, 1)) {
    case fn::ReadHolding:
    case fn::ReadInput:
        return 5 + 2 * (at(request, 4) << 8 | at(request, 5));
    case fn::WriteSingle:
    case fn::WriteMultiple:
        return WriteReplyLength;
    case fn::Command:
        return at(request, 4) == cmd::Status ? StatusReplyLength : 0;
    default:
        return 0;
    }
}

bool StatusReplyComplete(const QByteArray& reply) {
    return reply.size() >= StatusReplyMinLength;
}

bool AddrReplyOK(const QByteArray& reply) {
    // The echoed value and the address byte are deliberately not compared.
    return reply.size() == WriteReplyLength && at(reply, 1) == fn::WriteSingle &&
           at(reply, 2) == 0 && at(reply, 3) == 0;
}

bool BitPerformed(const QByteArray& reply) {
    return reply.size() > 4 && at(reply, 4) == cmd::Bit;
}

QString VersionText(const QByteArray& reply) {
    const qsizetype end = reply.size() - 2; // the check bytes are not text
    if (end <= VersionTextStart)
        return {};
    return QString::fromLatin1(reply.mid(VersionTextStart, end - VersionTextStart));
}

} // namespace fh
