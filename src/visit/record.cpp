#include "visit/record.h"

#include "detector/models.h"

#include <cmath>

namespace fh::visit {

namespace {

// NaN equals NaN here: a record read back must equal the one written.
bool same(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

bool same(const std::optional<float>& a, const std::optional<float>& b) {
    return a.has_value() == b.has_value() && (!a || same(*a, *b));
}

constexpr int FirstDataByte = 3;

} // namespace

bool operator==(const Readings& a, const Readings& b) {
    return same(a.sum4, b.sum4) && same(a.sum45, b.sum45) && same(a.sum5, b.sum5) &&
           same(a.bitSum4, b.bitSum4) && same(a.bitSum45, b.bitSum45) &&
           same(a.bitSum5, b.bitSum5) && a.noise4 == b.noise4 && a.noise45 == b.noise45 &&
           a.noise5 == b.noise5 && a.gain == b.gain && a.temperature == b.temperature &&
           a.voltage == b.voltage;
}

QString BitOutcomeText(BitOutcome outcome) {
    switch (outcome) {
    case BitOutcome::NotRun:
        break;
    case BitOutcome::Performed:
        return QStringLiteral("performed");
    case BitOutcome::NoAnswer:
        return QStringLiteral("no answer");
    }
    return QStringLiteral("not run");
}

std::optional<BitOutcome> BitOutcomeFromText(const QString& text) {
    for (BitOutcome o : {BitOutcome::NotRun, BitOutcome::Performed, BitOutcome::NoAnswer})
        if (text == BitOutcomeText(o))
            return o;
    return std::nullopt;
}

QString StatusCharText(quint8 statusChar) {
    return QString(QChar::fromLatin1(char(statusChar)));
}

std::optional<SetupEntry> SetupEntryFromReply(const QByteArray& reply, const QString& model) {
    const auto value = DecodeSetupReply(reply, model);
    if (!value)
        return std::nullopt;
    SetupEntry e;
    e.settings = *value;
    const int count = SetupRegisterCount(model);
    for (int r = 0; r < count; ++r) {
        const int hi = FirstDataByte + 2 * r;
        e.registers.push_back(quint16(quint8(reply.at(hi)) << 8 | quint8(reply.at(hi + 1))));
    }
    // A value the setup screen would write differently from what was read lies outside its list.
    e.outsideLists = SetupDrifts(reply, model, *value);
    return e;
}

int WrittenRegisterCount(const QString& model) {
    return SetupRowFor(model).fourRegisterWrite ? SetupRegistersLong : SetupRegistersShort;
}

std::vector<quint16> RegistersAfterWrite(const QString& model, const SetupValue& value,
                                         const std::vector<quint16>& before) {
    const SetupBytes b = EncodeSetup(model, value);
    std::vector<quint16> after = before;
    after.resize(size_t(SetupRegisterCount(model)), 0);
    after[0] = quint16(b.setupHi << 8 | b.setupLo);
    if (WrittenRegisterCount(model) == SetupRegistersLong) {
        after[1] = 0;
        after[2] = b.heatMode;
        after[3] = b.heatOn;
    }
    return after;
}

} // namespace fh::visit
