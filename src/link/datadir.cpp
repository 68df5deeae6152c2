#include "link/datadir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// FH_SHIPPED_DATA_DIR comes from the build: the data folder relative to the programs' folder.

namespace fh {

static bool makeDir(const QString& dir, QString* errorText) {
    if (QFileInfo(dir).isDir() || QDir().mkpath(dir))
        return true;
    if (errorText)
        *errorText = QStringLiteral("Cannot create the data directory %1.")
                         .arg(QDir::toNativeSeparators(dir));
    return false;
}

QString ChooseDataDirectory(const QString& requested, const QString& programDir,
                            const QString& userDir, QString* errorText) {
    QString dir;
    if (!requested.isEmpty())
        dir = requested;
    else if (!programDir.isEmpty() && QFileInfo(programDir).isDir() &&
             QFileInfo(programDir).isWritable())
        dir = programDir;
    else
        dir = userDir;
    if (dir.isEmpty()) {
        if (errorText)
            *errorText = QStringLiteral("No data directory could be found.");
        return {};
    }
    dir = QDir(dir).absolutePath();
    return makeDir(dir, errorText) ? dir : QString();
}

QString DataDirectory(const QString& requested, QString* errorText) {
    const QString programDir = QCoreApplication::applicationDirPath();
    return ChooseDataDirectory(requested, IsInstalledProgram(programDir) ? QString() : programDir,
                               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                               errorText);
}

bool IsInstalledProgram(const QString& programDir) {
    return !programDir.isEmpty() &&
           QFileInfo(QDir(programDir).filePath(QStringLiteral(FH_SHIPPED_DATA_DIR))).isDir();
}

QString ShippedDataDirectory(const QString& programDir) {
    if (IsInstalledProgram(programDir))
        return QDir::cleanPath(QDir(programDir).filePath(QStringLiteral(FH_SHIPPED_DATA_DIR)));
    return programDir;
}

QString ComPortDevice(int n) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

} // namespace fh
