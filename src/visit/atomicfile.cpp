#include "visit/atomicfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <unistd.h>

namespace fh::visit {

namespace {

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Every byte, through short writes and signals.
bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const QFileInfo target(path);
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    // In the same folder, so the rename never crosses file systems; created with the usual
    // permissions (the umask applies), as any document the user saves.
    QByteArray temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = QFile::encodeName(target.absolutePath()) + "/." +
               QFile::encodeName(target.fileName()) + "." +
               QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        *error = QStringLiteral("%1: cannot write: %2").arg(path, systemError(errno));
        return false;
    }
    int failure = 0;
    if (!writeAll(fd, bytes) || ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0 && ::rename(temp.constData(), finalName.constData()) != 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(temp.constData());
        *error = QStringLiteral("%1: cannot write: %2").arg(path, systemError(failure));
        return false;
    }
    // The rename itself is on the disk once the folder is.
    const int dir = ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace fh::visit
