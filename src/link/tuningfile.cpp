#include "link/tuningfile.h"

#include <cmath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace fh {

bool FileExists(const QString& path) {
    // Only a regular file (or a link to one) is opened: opening a FIFO would wait for a
    // writer, and a device would be read from.
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    f.close();
    return true;
}

QString TuningFilePath(const QString& dataDir) {
    return QDir(dataDir).filePath(QLatin1String(TuningFileName));
}

bool ParseTurnaroundDelay(const QString& line, int* delayUs) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    QString text = line.trimmed();
    if (text.startsWith(QChar(0xFEFF))) // a byte-order mark left by some editors
        text = text.mid(1).trimmed();
    if (!number.match(text).hasMatch())
        return false;
    bool ok = false;
    const double value = text.toDouble(&ok); // QString::toDouble is locale-independent
    if (!ok || !std::isfinite(value))
        return false;
    // Half-way values go to the even neighbour.
    const double rounded = std::nearbyint(value);
    if (rounded < 0 || rounded > MaxTurnaroundDelay)
        return false;
    *delayUs = int(rounded);
    return true;
}

QString TuningFileFirstLine(const QByteArray& bytes) {
    qsizetype end = bytes.size();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            end = i;
            break;
        }
    }
    return QString::fromLatin1(bytes.left(end));
}

// What the notice may quote of a line: printable ASCII only (the file holds digits), so a
// binary file cannot put control codes or stray Latin-1 letters on the screen.
static QString printable(const QString& text, int limit) {
    QString out;
    for (const QChar c : text) {
        if (out.size() >= limit)
            break;
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
            out += c;
    }
    return out;
}

TuningLoad LoadTuningFile(const QString& path) {
    TuningLoad result;
    const QString name = QDir::toNativeSeparators(path);
    const auto noDelay = [&](const QString& line) {
        result.warning = QStringLiteral("%1 does not hold a turnaround delay from 0 to %2 µs on "
                                        "its first line (\"%3\"). Using %4 µs.")
                             .arg(name)
                             .arg(MaxTurnaroundDelay)
                             .arg(printable(line, 40))
                             .arg(DefaultTurnaroundDelay);
    };
    if (FileExists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            result.warning = QStringLiteral("Cannot read %1: %2. The turnaround delay is %3 µs.")
                                 .arg(name, f.errorString())
                                 .arg(DefaultTurnaroundDelay);
            return result;
        }
        // Only the first line counts; a short read is enough to find it.
        const QString line = TuningFileFirstLine(f.read(4096));
        int delay = 0;
        if (ParseTurnaroundDelay(line, &delay))
            result.delayUs = delay;
        else
            noDelay(line);
        return result;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        // A FIFO, a device or a folder by that name holds no delay, and is never read.
        noDelay(QString());
        return result;
    }
    if (info.exists()) {
        // There but unreadable: leave it alone rather than overwrite it.
        result.warning = QStringLiteral("Cannot read %1. The turnaround delay is %2 µs.")
                             .arg(name)
                             .arg(DefaultTurnaroundDelay);
        return result;
    }
    QString why;
    if (SaveTuningFile(path, DefaultTurnaroundDelay, &why)) {
        result.created = true;
    } else {
        result.warning = QStringLiteral("Cannot create %1: %2. The turnaround delay is %3 µs.")
                             .arg(name, why)
                             .arg(DefaultTurnaroundDelay);
    }
    return result;
}

bool SaveTuningFile(const QString& path, int delayUs, QString* errorText) {
    QSaveFile f(path);
    // A directory that lets us rewrite the file but not add a temporary one still works.
    f.setDirectWriteFallback(true);
    const QByteArray line = QByteArray::number(delayUs) + "\r\n";
    if (!f.open(QIODevice::WriteOnly) || f.write(line) != line.size() || !f.commit()) {
        if (errorText)
            *errorText = f.errorString();
        return false;
    }
    return true;
}

} // namespace fh
