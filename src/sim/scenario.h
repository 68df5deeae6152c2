#pragma once
// A bus described in a JSON file: its detectors, their registers and their faults. The
// format is documented in docs/simulator.md.
#include "sim/simbus.h"

#include <memory>
#include <QString>

namespace fh {

// The bus the text describes, or nullptr with *error saying what is wrong and where.
std::unique_ptr<SimBus> parseScenario(const QByteArray& json, QString* error);

// The same from a file; *error starts with the file's path.
std::unique_ptr<SimBus> loadScenario(const QString& path, QString* error);

} // namespace fh
