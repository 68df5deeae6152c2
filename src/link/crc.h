#pragma once
// The frame check every request ends with: CRC-16 as the detectors compute it (reflected
// polynomial 0xA001, start 0xFFFF, no final XOR), sent low byte first.
#include <QByteArray>
#include <QtGlobal>

namespace fh {

// Folds one byte into the accumulator.
void UpdateCRC(quint16& accumulator, quint8 b);

// Computes the check over frame[0 .. last - 2] and stores it low byte first in frame[last - 1]
// and frame[last]. frame must hold at least last + 1 bytes (last >= 1).
void CalcCRC(QByteArray& frame, int last);

// The check of a whole byte run.
quint16 crc16(const QByteArray& bytes);

// body followed by its two check bytes.
QByteArray withCrc(const QByteArray& body);

} // namespace fh
