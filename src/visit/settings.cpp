#include "visit/settings.h"

#include <algorithm>
#include <cstring>

namespace fh::visit {

namespace {

constexpr ListSetting Lists[] = {
    {"sensitivity", &SetupValue::sensitivity},
    {"delay", &SetupValue::delay},
    {"heat_mode", &SetupValue::heatMode},
    {"heat_on", &SetupValue::heatOn},
};

constexpr FlagSetting Flags[] = {
    {"alarm_latch", &SetupFlags::alarmL, true}, {"relay_on_warning", &SetupFlags::accOnWarn, false},
    {"auto_bit", &SetupFlags::autoBit, true},   {"alarm_on_bit", &SetupFlags::accBit, true},
    {"relay_on_bit", &SetupFlags::rBit, false}, {"relay_as_eol", &SetupFlags::eol, false},
};

bool is(const char* a, const char* b) {
    return std::strcmp(a, b) == 0;
}

} // namespace

std::span<const ListSetting> ListSettings() {
    return Lists;
}

std::span<const FlagSetting> FlagSettings() {
    return Flags;
}

bool Offers(const SetupRow& row, const ListSetting& setting) {
    if (is(setting.key, "delay"))
        return row.delayShown;
    if (is(setting.key, "heat_mode") || is(setting.key, "heat_on"))
        return row.heatShown;
    return true;
}

bool Shows(const SetupRow& row, const FlagSetting& flag) {
    return flag.alwaysShown || row.allFlagsShown;
}

QStringList Items(const SetupRow& row, const ListSetting& setting) {
    if (is(setting.key, "delay"))
        return DelayItems();
    if (is(setting.key, "heat_mode"))
        return HeatModeItems();
    if (is(setting.key, "heat_on"))
        return HeatOnItems();
    return SensitivityItems(row.sensitivity);
}

QString SettingText(const QString& model, const SetupEntry& entry, const char* key) {
    const SetupRow row = SetupRowFor(model);
    for (const FlagSetting& f : Flags)
        if (is(f.key, key))
            return entry.settings.flags.*f.member ? QStringLiteral("on") : QStringLiteral("off");
    for (const ListSetting& s : Lists) {
        if (!is(s.key, key))
            continue;
        if (!Offers(row, s))
            return QStringLiteral("-");
        const auto outside = std::find_if(entry.outsideLists.begin(), entry.outsideLists.end(),
                                          [key](const SetupDrift& d) { return d.key == key; });
        if (outside != entry.outsideLists.end())
            return QStringLiteral("raw %1 (outside its list)").arg(outside->rawValue);
        return entry.settings.*s.member;
    }
    return QStringLiteral("-");
}

std::vector<SettingChange> SetupChanges(const QString& model, const SetupEntry& before,
                                        const SetupEntry& after) {
    std::vector<SettingChange> out;
    auto compare = [&](const char* key) {
        const QString a = SettingText(model, before, key), b = SettingText(model, after, key);
        if (a != b)
            out.push_back({QString::fromLatin1(key), a, b});
    };
    for (const ListSetting& s : Lists)
        compare(s.key);
    for (const FlagSetting& f : Flags)
        compare(f.key);
    if (out.empty() && before.registers != after.registers)
        out.push_back({QStringLiteral("registers"), RegistersText(before.registers),
                       RegistersText(after.registers)});
    return out;
}

QString RegistersText(const std::vector<quint16>& registers) {
    QStringList words;
    for (quint16 r : registers)
        words << QStringLiteral("0x%1").arg(r, 4, 16, QLatin1Char('0'));
    return words.join(QLatin1Char(' '));
}

} // namespace fh::visit
