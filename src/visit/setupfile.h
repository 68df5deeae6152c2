#pragma once
// One detector's setup saved to a file (flamehost-setup/1): the detector entry of a site
// record, with when and by what it was saved. docs/site-record.md describes it.
#include "visit/record.h"

#include <optional>

namespace fh::visit {

inline constexpr char SetupFormatName[] = "flamehost-setup";
inline constexpr int SetupFormatMajor = 1;

struct SetupFile {
    QDateTime saved;
    QString program;
    DetectorEntry detector; // its identity and setup are always there
    friend bool operator==(const SetupFile&, const SetupFile&) = default;
};

QByteArray SetupFileBytes(const SetupFile& file);
// Errors begin with the path and name the first field at fault; a file whose detector has no
// model or no setup is refused.
std::optional<SetupFile> ReadSetupFile(const QString& path, QString* error);
bool WriteSetupFile(const QString& path, const SetupFile& file, QString* error);

} // namespace fh::visit
