#pragma once
// The service's messages go to stderr, one line each. When stderr is the journal (systemd
// names it in JOURNAL_STREAM) each line starts with its syslog priority (<3>, <4>, <6>), so the
// journal files it at that level.
#include <QString>

namespace fh::watch {

enum class Level { Error = 3, Warning = 4, Info = 6 };

void Log(Level level, const QString& text);
inline void LogError(const QString& text) {
    Log(Level::Error, text);
}
inline void LogWarning(const QString& text) {
    Log(Level::Warning, text);
}
inline void LogInfo(const QString& text) {
    Log(Level::Info, text);
}

} // namespace fh::watch
