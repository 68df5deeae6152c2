#include "logging/wholefile.h"

#include <cerrno>
#include <cstring>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fh {

namespace {

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool fail(QString* errorText, const QString& why) {
    if (errorText)
        *errorText = why;
    return false;
}

} // namespace

bool SaveWholeFile(const QString& path, const QByteArray& bytes, QString* errorText) {
    const QFileInfo target(path);
    QTemporaryFile temp(
        target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
    if (!temp.open())
        return fail(errorText, temp.errorString());
    // A buffered write only fails when the buffer goes out, so the flush is checked too.
    if (temp.write(bytes) != bytes.size() || !temp.flush())
        return fail(errorText, temp.errorString());
#ifdef Q_OS_UNIX
    if (::fsync(temp.handle()) != 0)
        return fail(errorText, systemError());
#endif
    temp.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
#ifdef Q_OS_UNIX
    if (::rename(QFile::encodeName(temp.fileName()).constData(),
                 QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        return fail(errorText, systemError());
    temp.setAutoRemove(false);
    // The new name must reach the disk too, or a power cut could still lose the file.
    const int folder =
        ::open(QFile::encodeName(target.absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
#else
    QFile::remove(target.absoluteFilePath());
    if (!temp.rename(target.absoluteFilePath()))
        return fail(errorText, temp.errorString());
    temp.setAutoRemove(false);
#endif
    return true;
}

} // namespace fh
