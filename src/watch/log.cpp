#include "watch/log.h"

#include <cstdio>

namespace fh::watch {

void Log(Level level, const QString& text) {
    static const bool journal = !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
    QByteArray line;
    if (journal)
        line = "<" + QByteArray::number(int(level)) + ">";
    else
        line = level == Level::Error     ? "flamehost-watch: error: "
               : level == Level::Warning ? "flamehost-watch: warning: "
                                         : "flamehost-watch: ";
    line += text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace fh::watch
