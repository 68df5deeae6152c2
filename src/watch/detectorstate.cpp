#include "watch/detectorstate.h"

#include "detector/detectorrecord.h"

#include <cmath>
#include <QDateTime>

namespace fh::watch {

namespace {

// NaN and the infinities are no JSON numbers: they go out as texts, as the CLI writes them.
QJsonValue number(double v) {
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    return v;
}

} // namespace

bool ApplyStatusReply(DetectorState& d, const QByteArray& reply, qint64 nowMs) {
    DetectorRecord record;
    record.Address = quint8(d.address);
    DecodeStatusReply(reply, record);
    if (!record.LinkGood)
        return ApplyNoReply(d, nowMs);
    const bool changed = !d.up || d.statusChar != record.StatusChar ||
                         d.fault != record.FaultFlag || d.modelCode != record.ModelCode ||
                         d.serial != record.SerialNumber;
    if (d.known && (d.modelCode != record.ModelCode || d.serial != record.SerialNumber))
        d.readings.reset(); // another detector now answers here
    d.polled = d.up = d.known = true;
    d.modelCode = record.ModelCode;
    d.model = record.ModelName;
    d.serial = record.SerialNumber;
    d.statusChar = record.StatusChar;
    d.fault = record.FaultFlag;
    d.lastReplyMs = nowMs;
    if (changed)
        d.changedMs = nowMs;
    return changed;
}

bool ApplyNoReply(DetectorState& d, qint64 nowMs) {
    const bool changed = d.up || !d.polled;
    d.polled = true;
    d.up = false;
    d.readings.reset();
    if (changed)
        d.changedMs = nowMs;
    return changed;
}

void ApplyReadingsReply(DetectorState& d, const QByteArray& reply, qint64 nowMs) {
    const MaintenanceDecode m = DecodeMaintenanceReply(
        reply, d.readings.value_or(MaintenanceReadings{}), d.model, QString::number(d.address));
    if (m.stoppedEarly) {
        d.readings.reset();
        return;
    }
    d.readings = m.readings;
    d.bitSums = m.display.bitSum5.has_value();
    d.gainKnown = m.gainCode && *m.gainCode <= MaxGainCode;
    d.readingsMs = nowMs;
}

QString StatusLabel(const DetectorState& d) {
    if (!d.up)
        return QStringLiteral("D");
    const quint8 c = d.statusChar;
    if (c < 0x20 || c > 0x7E || c == '\\')
        return QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    return QString(QChar::fromLatin1(char(c)));
}

QString TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

QJsonObject StateJson(const DetectorState& d) {
    QJsonObject o;
    o.insert("line", d.line);
    o.insert("address", d.address);
    o.insert("serial", d.known ? QJsonValue(d.serial) : QJsonValue());
    o.insert("model", d.known ? QJsonValue(d.model) : QJsonValue());
    o.insert("status", StatusLabel(d));
    o.insert("fault", d.up ? QJsonValue(d.fault) : QJsonValue());
    o.insert("up", d.up);
    o.insert("time", TimeText(d.changedMs));
    o.insert("last_reply", d.lastReplyMs > 0 ? QJsonValue(TimeText(d.lastReplyMs)) : QJsonValue());
    return o;
}

QJsonObject ReadingsJson(const DetectorState& d) {
    QJsonObject o;
    o.insert("line", d.line);
    o.insert("address", d.address);
    o.insert("serial", d.serial);
    o.insert("model", d.model);
    if (d.readings) {
        const MaintenanceReadings& r = *d.readings;
        o.insert("sum4", number(r.Sum4));
        o.insert("sum45", number(r.Sum45));
        o.insert("sum5", number(r.Sum5));
        if (d.bitSums) {
            o.insert("bit_sum4", number(r.BitSum4));
            o.insert("bit_sum45", number(r.BitSum45));
            o.insert("bit_sum5", number(r.BitSum5));
        }
        o.insert("noise4", r.Noise4);
        o.insert("noise45", r.Noise45);
        o.insert("noise5", r.Noise5);
        o.insert("gain",
                 d.gainKnown ? QJsonValue(r.Gain) : QJsonValue()); // null: code outside 0..3
        o.insert("temperature", r.Temperature);
        // The word is tenths of a volt: 241 goes out as 24.1, not 24.100000000000001.
        o.insert("voltage", number(std::round(r.Voltage * 10) / 10));
    }
    o.insert("time", TimeText(d.readingsMs));
    return o;
}

} // namespace fh::watch
