#pragma once
// Where the tuning file, the logs and the splash picture live, and what "Com n" means on this
// platform.
#include <QString>

namespace fh {

// The data directory: `requested` (from --data-dir) when given, else the program's directory
// when it is writable and not installed (portable use), else the per-user application data
// directory. The chosen directory is created when missing. Empty, with errorText set, when it
// cannot be created.
QString DataDirectory(const QString& requested, QString* errorText = nullptr);

// Where the files shipped with a program in programDir (the splash picture) are: share/flamehost
// beside its bin/ folder once installed, else (a build tree) the program's own folder.
QString ShippedDataDirectory(const QString& programDir);

// True when programDir holds an installed program: its shipped data sits in share/flamehost.
// Such a program never writes into its own folder, even when it could (run as root).
bool IsInstalledProgram(const QString& programDir);

// The same rule over given directories, for callers that know them (tests).
QString ChooseDataDirectory(const QString& requested, const QString& programDir,
                            const QString& userDir, QString* errorText = nullptr);

// "Com n" as this platform names it: COMn on Windows, /dev/ttyS(n-1) elsewhere.
QString ComPortDevice(int n);

} // namespace fh
