#include "watch/log.h"

#include <cstdio>
#include <QList>
#include <sys/stat.h>
#include <unistd.h>

namespace fh::watch {

namespace {

// systemd names the journal's stream in JOURNAL_STREAM as DEVICE:INODE; stderr is the journal
// only while it is still that stream (a child whose stderr was redirected inherits the name).
bool stderrIsJournal() {
    const QList<QByteArray> ids = qgetenv("JOURNAL_STREAM").split(':');
    struct stat st {};
    return ids.size() == 2 && ::fstat(STDERR_FILENO, &st) == 0 &&
           ids[0].toULongLong() == quint64(st.st_dev) && ids[1].toULongLong() == quint64(st.st_ino);
}

} // namespace

void Log(Level level, const QString& text) {
    static const bool journal = stderrIsJournal();
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
