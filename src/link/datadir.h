#pragma once
// Where the tuning file, the logs and the splash picture live, and what "Com n" means on this
// platform.
#include <QString>

namespace fh {

// The data directory: `requested` (from --data-dir) when given, else the program's directory
// when it is writable (portable use), else the per-user application data directory. The chosen
// directory is created when missing. Empty, with errorText set, when it cannot be created.
QString DataDirectory(const QString& requested, QString* errorText = nullptr);

// The same rule over given directories, for callers that know them (tests).
QString ChooseDataDirectory(const QString& requested, const QString& programDir,
                            const QString& userDir, QString* errorText = nullptr);

// "Com n" as this platform names it: COMn on Windows, /dev/ttyS(n-1) elsewhere.
QString ComPortDevice(int n);

} // namespace fh
