#include "watch/credentials.h"

#include <QFile>
#include <sys/stat.h>

namespace fh::watch {

std::optional<MqttCredentials> ReadCredentials(const QString& path, QString* error) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        *error = QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        *error = QStringLiteral("%1 is not a plain file").arg(path);
        return std::nullopt;
    }
    if (st.st_mode & S_IROTH) {
        *error = QStringLiteral("%1 holds a password and everybody may read it; allow only its "
                                "owner and group (chmod o-rwx %1)")
                     .arg(path);
        return std::nullopt;
    }
    QFile file(path);
    constexpr qint64 MaxSize = 64 * 1024;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxSize) {
        *error = QStringLiteral("%1 is too large for a user name and a password").arg(path);
        return std::nullopt;
    }
    MqttCredentials c;
    bool hasUser = false, hasPassword = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith('#'))
            continue;
        const qsizetype eq = line.indexOf('=');
        const QByteArray key = line.left(eq).trimmed();
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        bool* seen = key == "username" ? &hasUser : key == "password" ? &hasPassword : nullptr;
        const QString where = QStringLiteral("%1:%2").arg(path).arg(i + 1);
        if (eq < 0 || !seen) {
            *error = where + QStringLiteral(": expected username=... or password=...");
            return std::nullopt;
        }
        if (*seen) {
            *error = where + QStringLiteral(": %1 is given twice").arg(QString::fromUtf8(key));
            return std::nullopt;
        }
        *seen = true;
        (key == "username" ? c.username : c.password) = value;
    }
    if (!hasUser || c.username.isEmpty()) {
        *error = QStringLiteral("%1 names no user (a line username=...)").arg(path);
        return std::nullopt;
    }
    return c;
}

} // namespace fh::watch
