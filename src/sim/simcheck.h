#pragma once
// The detector's own frame check (CRC-16 with the reflected polynomial 0xA001, start 0xFFFF,
// sent low byte first). Kept apart from the host's copy on purpose: a fault in one of them
// then shows up as a refused frame instead of hiding on both ends of the line.
#include <QByteArray>
#include <QtGlobal>

namespace fh {

quint16 simCrc16(const char* data, qsizetype length);
inline quint16 simCrc16(const QByteArray& bytes) {
    return simCrc16(bytes.constData(), bytes.size());
}

// body followed by its two check bytes, low byte first.
QByteArray simWithCheck(const QByteArray& body);

// True when the frame is at least four bytes long and its last two bytes are the check of
// the rest. A request that fails this is ignored, as a real detector would.
bool simCheckOk(const QByteArray& frame);

} // namespace fh
