#include "sim/simcheck.h"

namespace fh {

quint16 simCrc16(const char* data, qsizetype length) {
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < length; ++i) {
        crc ^= static_cast<quint8>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001)
                            : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

QByteArray simWithCheck(const QByteArray& body) {
    const quint16 crc = simCrc16(body);
    QByteArray frame = body;
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

bool simCheckOk(const QByteArray& frame) {
    if (frame.size() < 4)
        return false;
    const quint16 crc = simCrc16(frame.constData(), frame.size() - 2);
    return static_cast<quint8>(frame.at(frame.size() - 2)) == (crc & 0xFF) &&
           static_cast<quint8>(frame.at(frame.size() - 1)) == (crc >> 8);
}

} // namespace fh
