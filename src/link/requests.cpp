#include "link/requests.h"

#include "link/crc.h"

#include <cmath>

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

std::optional<quint8> NewAddressByte(const QString& text) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // A fraction is rounded half to even, as the dialog's number conversion does.
    double wrapped = std::fmod(std::nearbyint(value), 256.0);
    if (wrapped < 0)
        wrapped += 256.0;
    return static_cast<quint8>(wrapped);
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
