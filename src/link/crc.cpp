#include "link/crc.h"

namespace fh {

void UpdateCRC(quint16& accumulator, quint8 b) {
    accumulator ^= b;
    for (int bit = 0; bit < 8; ++bit) {
        const bool odd = accumulator & 1u;
        accumulator >>= 1;
        if (odd)
            accumulator ^= 0xA001;
    }
}

void CalcCRC(QByteArray& frame, int last) {
    if (last < 1 || last >= frame.size())
        return;
    quint16 accumulator = 0xFFFF;
    for (int i = 0; i <= last - 2; ++i)
        UpdateCRC(accumulator, static_cast<quint8>(frame[i]));
    frame[last - 1] = static_cast<char>(accumulator & 0xFF);
    frame[last] = static_cast<char>(accumulator >> 8);
}

quint16 crc16(const QByteArray& bytes) {
    quint16 accumulator = 0xFFFF;
    for (char c : bytes)
        UpdateCRC(accumulator, static_cast<quint8>(c));
    return accumulator;
}

QByteArray withCrc(const QByteArray& body) {
    QByteArray frame = body;
    frame.append(2, '\0');
    CalcCRC(frame, static_cast<int>(frame.size()) - 1);
    return frame;
}

} // namespace fh
