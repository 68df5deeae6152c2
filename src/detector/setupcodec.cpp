#include "detector/setupcodec.h"

#include "detector/models.h"
#include "link/crc.h"
#include "link/requests.h"

#include <algorithm>
#include <cmath>

namespace fh {

namespace {

// Reply byte positions of a setup read (register 1 from byte 3, two bytes per register).
constexpr int HiByte = 3;
constexpr int LoByte = 4;
constexpr int HeatModeByte = 8;
constexpr int HeatOnByte = 10;

constexpr int SensitivityShift = 5;
constexpr int DelayShift = 4;
constexpr quint8 DelayMask = 0x07;

quint8 at(const QByteArray& reply, int index) {
    return static_cast<quint8>(reply.at(index));
}

// The text's value as a finite number.
std::optional<double> numberIn(const QString& text) {
    bool ok = false;
    const double n = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(n) ? std::optional(n) : std::nullopt;
}

int positionIn(const QStringList& items, const QString& text) {
    return text.isEmpty() ? -1 : int(items.indexOf(text));
}

char byte(int value) {
    return static_cast<char>(value & 0xFF);
}

} // namespace

QString SensitivityListName(SensitivityList list) {
    switch (list) {
    case SensitivityList::Sens:
        return QStringLiteral("cmbSens");
    case SensitivityList::SensFast:
        return QStringLiteral("cmbSensFast");
    case SensitivityList::MI:
        return QStringLiteral("cmbMI");
    case SensitivityList::MI3:
        return QStringLiteral("cmbMI3");
    case SensitivityList::SensSingle:
        return QStringLiteral("cmbSensSingle");
    case SensitivityList::UVIR:
        return QStringLiteral("cmbUVIR");
    }
    return {};
}

QStringList SensitivityItems(SensitivityList list) {
    switch (list) {
    case SensitivityList::Sens:
        return {"15", "30", "45", "60"};
    case SensitivityList::SensFast:
    case SensitivityList::MI3:
        return {"2.5", "5", "7.5", "10"};
    case SensitivityList::MI:
        return {"10", "20", "30", "40"};
    case SensitivityList::SensSingle:
        return {"5", "15"};
    case SensitivityList::UVIR:
        return {"15"};
    }
    return {};
}

QString SensitivityText(SensitivityList list, int code) {
    if (list == SensitivityList::UVIR)
        return QStringLiteral("15"); // bit 5 alone, and both of its values read as "15"
    const QStringList items = SensitivityItems(list);
    return code >= 0 && code < items.size() ? items.at(code) : QString();
}

std::optional<QString> SensitivityItemFor(SensitivityList list, const QString& text) {
    const QStringList items = SensitivityItems(list);
    if (items.contains(text))
        return text;
    const std::optional<double> typed = numberIn(text);
    for (const QString& item : items)
        if (typed && numberIn(item) == typed)
            return item;
    return std::nullopt;
}

quint8 SensitivityCode(SensitivityList list, const QString& text) {
    const std::optional<QString> item = SensitivityItemFor(list, text);
    if (!item)
        return 0;
    // cmbUVIR's only item is the second code of the one-bit lists.
    const QStringList codes =
        list == SensitivityList::UVIR ? QStringList{"5", "15"} : SensitivityItems(list);
    return quint8(std::max(0, positionIn(codes, *item)));
}

bool SensitivityTextWritable(SensitivityList list, const QString& text) {
    return text.trimmed().isEmpty() || SensitivityItemFor(list, text).has_value();
}

QStringList DelayItems() {
    return {"0", "A", "3", "5", "10", "15", "20", "30"};
}

QStringList HeatModeItems() {
    return {"OFF", "AUTO", "ON"};
}

QStringList HeatOnItems() {
    return {"0", "5", "10", "15", "20", "25", "30"};
}

SetupRow SetupRowFor(const QString& name) {
    SetupRow row;
    row.readRegisters = SetupRegisterCount(name);
    row.heatShown = model::IsHeatModel(name);
    row.fourRegisterWrite = row.heatShown;
    row.allFlagsShown = false;
    if (name == QLatin1String(model::ZorvanA2)) {
        row.sensitivity = SensitivityList::SensFast;
        row.delayShown = true;
    } else if (name == QLatin1String(model::ZorvanA1)) {
        row.sensitivity = SensitivityList::SensSingle;
    } else if (name == QLatin1String(model::ZorvanA3) || name == QLatin1String(model::ZorvanA4)) {
        row.sensitivity = SensitivityList::UVIR;
    } else if (name == QLatin1String(model::ZorvanA5) || name == QLatin1String(model::ZorvanB1)) {
        row.sensitivity = SensitivityList::MI;
    } else if (name == QLatin1String(model::ZorvanB3)) {
        row.sensitivity = SensitivityList::MI3;
    } else {
        row.sensitivity = SensitivityList::Sens;
        row.allFlagsShown = true;
    }
    return row;
}

bool SetupReadReplyProper(const QByteArray& reply, const QString& modelName) {
    const int dataBytes = 2 * SetupRegisterCount(modelName);
    return reply.size() >= 3 + dataBytes + 2 && at(reply, 1) == fn::ReadHolding &&
           at(reply, 2) == dataBytes;
}

std::optional<SetupValue> DecodeSetupReply(const QByteArray& reply, const QString& modelName) {
    if (!SetupReadReplyProper(reply, modelName))
        return std::nullopt;
    const SetupRow row = SetupRowFor(modelName);
    const quint8 hi = at(reply, HiByte);
    const quint8 lo = at(reply, LoByte);

    SetupValue v;
    const int codeMask = row.sensitivity == SensitivityList::UVIR ? 1 : 3;
    v.sensitivity = SensitivityText(row.sensitivity, (hi >> SensitivityShift) & codeMask);
    if (row.heatShown) {
        // Four registers were asked, so bytes 8 and 10 are there.
        const quint8 mode = at(reply, HeatModeByte);
        const QString threshold = QString::number(at(reply, HeatOnByte));
        v.heatMode = mode < HeatModeItems().size() ? HeatModeItems().at(mode) : QString();
        v.heatOn = HeatOnItems().contains(threshold) ? threshold : QString();
    }
    if (row.delayShown)
        v.delay = DelayItems().at((lo >> DelayShift) & DelayMask);
    v.flags.alarmL = hi & 0x01;
    v.flags.accOnWarn = hi & 0x02;
    v.flags.autoBit = hi & 0x04;
    v.flags.accBit = hi & 0x08;
    v.flags.rBit = hi & 0x10;
    v.flags.eol = hi & 0x80;
    return v;
}

SetupBytes EncodeSetup(const QString& modelName, const SetupValue& v) {
    const SetupRow row = SetupRowFor(modelName);
    SetupBytes b;
    const quint8 s = SensitivityCode(row.sensitivity, v.sensitivity);
    b.setupHi =
        quint8(s << SensitivityShift | (v.flags.alarmL ? 0x01 : 0) |
               (v.flags.accOnWarn ? 0x02 : 0) | (v.flags.autoBit ? 0x04 : 0) |
               (v.flags.accBit ? 0x08 : 0) | (v.flags.rBit ? 0x10 : 0) | (v.flags.eol ? 0x80 : 0));
    // Where the delay list is hidden it is never set, so those models always write code 0.
    if (row.delayShown)
        b.setupLo = quint8(std::max(0, positionIn(DelayItems(), v.delay)) << DelayShift);
    if (row.heatShown) {
        b.heatMode = quint8(std::max(0, positionIn(HeatModeItems(), v.heatMode)));
        b.heatOn = HeatOnItems().contains(v.heatOn) ? quint8(v.heatOn.toInt()) : 0;
    }
    return b;
}

QByteArray WriteSetup(quint8 address, const QString& modelName, const SetupValue& value) {
    const SetupBytes b = EncodeSetup(modelName, value);
    QByteArray body;
    body.append(byte(address));
    if (SetupRowFor(modelName).fourRegisterWrite) {
        body.append(byte(fn::WriteMultiple));
        body.append(QByteArray::fromHex("0001000408"));
        body.append(byte(b.setupHi));
        body.append(byte(b.setupLo));
        body.append(QByteArray(3, '\0'));
        body.append(byte(b.heatMode));
        body.append('\0');
        body.append(byte(b.heatOn));
    } else {
        body.append(byte(fn::WriteSingle));
        body.append(QByteArray::fromHex("0001"));
        body.append(byte(b.setupHi));
        body.append(byte(b.setupLo));
    }
    return withCrc(body);
}

std::vector<SetupDrift> SetupDrifts(const QByteArray& reply, const QString& modelName,
                                    const SetupValue& toWrite) {
    std::vector<SetupDrift> out;
    if (!SetupReadReplyProper(reply, modelName))
        return out;
    const SetupRow row = SetupRowFor(modelName);
    const SetupBytes written = EncodeSetup(modelName, toWrite);
    const int mask = row.sensitivity == SensitivityList::UVIR ? 1 : 3;
    const int readCode = (at(reply, HiByte) >> SensitivityShift) & mask;
    if (readCode != ((written.setupHi >> SensitivityShift) & mask))
        out.push_back({QStringLiteral("sensitivity"), readCode});
    if (row.heatShown) {
        if (at(reply, HeatModeByte) != written.heatMode)
            out.push_back({QStringLiteral("heat_mode"), at(reply, HeatModeByte)});
        if (at(reply, HeatOnByte) != written.heatOn)
            out.push_back({QStringLiteral("heat_on"), at(reply, HeatOnByte)});
    }
    return out;
}

QString SetupDriftWarning(const std::vector<SetupDrift>& drifts) {
    if (drifts.empty())
        return {};
    QStringList parts;
    for (const SetupDrift& d : drifts)
        parts << QStringLiteral("%1 %2").arg(d.key).arg(d.rawValue);
    return QStringLiteral("Read outside its list, OK will change it: ") +
           parts.join(QStringLiteral(", "));
}

bool SetupReplyOK(const QByteArray& reply, const QString& modelName) {
    if (reply.size() != WriteReplyLength)
        return false;
    if (SetupRowFor(modelName).fourRegisterWrite)
        return at(reply, 1) == fn::WriteMultiple && at(reply, 4) == 0x00 &&
               at(reply, 5) == SetupRegistersLong;
    return at(reply, 1) == fn::WriteSingle && at(reply, 2) == 0x00 && at(reply, 3) == SetupRegister;
}

} // namespace fh
