#include "detector/detectorrecord.h"

#include "detector/models.h"
#include "link/requests.h"

namespace fh {

namespace {

quint8 at(const QByteArray& reply, int index) {
    return static_cast<quint8>(reply.at(index));
}

bool isAsciiLetter(quint8 c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

QString GetModelName(quint16 code) {
    // The low byte names the family; for 102 and 118 the high byte picks the variant.
    const quint8 high = code >> 8;
    switch (code & 0xFF) {
    case 101:
        return model::ZorvanD2;
    case 102:
        switch (high) {
        case 1:
            return model::ZorvanC1;
        case 2:
            return model::ZorvanC2;
        case 3:
            return model::ZorvanC3;
        case 4:
            return model::ZorvanD3;
        default:
            return model::ZorvanD1;
        }
    case 103:
        return model::ZorvanV1Ntsc;
    case 104:
        return model::ZorvanV2Pal;
    case 113:
        return model::ZorvanA1;
    case 114:
        return model::ZorvanA4;
    case 115:
        return model::ZorvanA3;
    case 117:
        return model::ZorvanA2;
    case 118:
        switch (high) {
        case 0:
            return model::ZorvanB1;
        case 1:
            return model::ZorvanB3;
        case 2:
            return model::ZorvanA5;
        default:
            return model::ZorvanB0;
        }
    case 129:
        return model::ZorvanB4;
    default:
        return model::Unknown;
    }
}

Rgb StatusBackground(quint8 statusChar) {
    if (statusChar == 'W')
        return colour::Yellow;
    if (statusChar == 'A')
        return colour::Red;
    return colour::LightPeach;
}

QString StatusText(const DetectorRecord& record) {
    if (!record.LinkGood)
        return QStringLiteral("D");
    if (ShowsFault(record))
        return QStringLiteral("f");
    return QString(QChar::fromLatin1(char(record.StatusChar)));
}

StatusDisplay DecodeStatusReply(const QByteArray& reply, DetectorRecord& record) {
    if (!StatusReplyComplete(reply))
        return BadLinkState(record);

    if (record.MasterMode)
        record.Address = at(reply, statusbyte::Address);
    record.StatusChar = at(reply, statusbyte::Status);
    record.FaultFlag = at(reply, statusbyte::Fault);
    record.SerialNumber =
        quint16(at(reply, statusbyte::SerialHigh) << 8 | at(reply, statusbyte::SerialLow));
    record.ModelCode =
        quint16(at(reply, statusbyte::ModelHigh) << 8 | at(reply, statusbyte::ModelLow));
    record.ModelName = GetModelName(record.ModelCode);
    record.LinkGood = true;

    StatusDisplay d;
    d.addressText = QString::number(record.Address);
    d.statusText = StatusText(record);
    // The background follows the status byte alone, also while "f" is shown.
    d.statusBackground = StatusBackground(record.StatusChar);
    d.statusCharColour = colour::Blue;
    d.serialText = QString::number(record.SerialNumber);
    d.modelText = record.ModelName;
    d.linkLamp = colour::Green;
    d.linkText = QStringLiteral("GOOD");
    d.linkTextColour = colour::Green;
    return d;
}

StatusDisplay BadLinkState(DetectorRecord& record) {
    record.LinkGood = false;
    record.ModelName.clear();

    StatusDisplay d;
    d.addressText = QString::number(record.Address);
    d.statusText = StatusText(record);
    d.linkLamp = colour::Red;
    d.linkText = QStringLiteral("BAD");
    d.linkTextColour = colour::Red;
    return d;
}

StatusDisplay UnheardState(DetectorRecord& record) {
    StatusDisplay d = BadLinkState(record);
    d.linkLamp = colour::White;
    d.linkText.clear();
    return d;
}

bool ShowsFault(const DetectorRecord& record) {
    return record.LinkGood && record.FaultFlag == 1;
}

bool DetectStatusChange(DetectorRecord& record, const QByteArray& reply) {
    if (reply.size() <= statusbyte::Status)
        return false;
    const quint8 status = at(reply, statusbyte::Status);
    if (status == record.LastStatusByte)
        return false;
    // A change to a non-letter is remembered, so the way back to a letter is logged.
    record.LastStatusByte = status;
    return isAsciiLetter(status);
}

} // namespace fh
