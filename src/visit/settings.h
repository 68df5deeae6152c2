#pragma once
// The setup's settings by the names the command line and the files use (sensitivity, delay,
// heat_mode, heat_on and six flags), which of them a model offers, and what differs between
// two setups of one model.
#include "visit/record.h"

#include <QStringList>
#include <span>
#include <vector>

namespace fh::visit {

struct ListSetting {
    const char* key;
    QString SetupValue::*member;
};

struct FlagSetting {
    const char* key;
    bool SetupFlags::*member;
    bool alwaysShown; // the three flags every model shows
};

std::span<const ListSetting> ListSettings();
std::span<const FlagSetting> FlagSettings();

// Whether the model's setup screen shows the setting, and the texts it may take.
bool Offers(const SetupRow& row, const ListSetting& setting);
bool Shows(const SetupRow& row, const FlagSetting& flag);
QStringList Items(const SetupRow& row, const ListSetting& setting);

// What an entry holds for a setting, as a person reads it: the text, "on"/"off", "raw 7
// (outside its list)", or "-" when the model has no such setting.
QString SettingText(const QString& model, const SetupEntry& entry, const char* key);

struct SettingChange {
    QString setting; // a setting's key, or "registers" for bits no setting shows
    QString before, after;
    friend bool operator==(const SettingChange&, const SettingChange&) = default;
};

// Every setting of the model whose text differs, hidden flags included; when no setting
// differs but the registers do, one "registers" change with both in hex.
std::vector<SettingChange> SetupChanges(const QString& model, const SetupEntry& before,
                                        const SetupEntry& after);

// "0x2530 0x0000" for the log and the report.
QString RegistersText(const std::vector<quint16>& registers);

} // namespace fh::visit
