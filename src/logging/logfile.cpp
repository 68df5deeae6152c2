#include "logging/logfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace fh {

namespace {

bool syncToDisk(QFile& file) {
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return file.flush();
#endif
}

// True when the file is empty or its last byte ends a line.
bool endsWithLineEnd(QFile& file) {
    const qint64 size = file.size();
    if (size == 0 || file.isSequential())
        return true;
    char last = 0;
    return file.seek(size - 1) && file.read(&last, 1) == 1 && last == '\n';
}

} // namespace

qint64 AppendToFile(const QString& path, const QByteArray& bytes, QString* errorText) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        if (errorText)
            *errorText = file.errorString();
        return 0;
    }
    const qint64 start = file.size();
    const QByteArray out = endsWithLineEnd(file) ? bytes : QByteArray("\r\n") + bytes;
    bool ok = true;
    for (qint64 total = 0; ok && total < out.size();) {
        const qint64 n = file.write(out.constData() + total, out.size() - total);
        ok = n > 0;
        total += n;
    }
    QString why = ok ? QString() : file.errorString();
    if (ok && !syncToDisk(file)) {
        ok = false;
        why = QStringLiteral("the data did not reach the disk");
    }
    if (!ok) {
        if (errorText)
            *errorText = why;
        if (!file.isSequential())
            file.resize(start); // no half record stays behind; the whole block is kept instead
        return 0;
    }
    return bytes.size();
}

LogFile::LogFile(QString path, int maxPending)
    : path_(std::move(path)), maxPending_(maxPending < 1 ? 1 : maxPending),
      appender_(AppendToFile) {}

QString LogFile::fileName() const {
    return QFileInfo(path_).fileName();
}

void LogFile::setAppender(FileAppender appender) {
    appender_ = appender ? std::move(appender) : FileAppender(AppendToFile);
}

QByteArray LogFile::pendingBytes() const {
    QByteArray all;
    for (const QByteArray& b : pending_)
        all.append(b);
    return all;
}

void LogFile::forgetPending() {
    pending_.clear();
}

LogWriteOutcome LogFile::append(const QByteArray& block) {
    LogWriteOutcome out;
    if (int(pending_.size()) >= maxPending_)
        out = flush(); // the file may take the backlog now, which makes room
    if (int(pending_.size()) >= maxPending_) {
        ++dropped_;
        ++droppedInEpisode_;
        if (!boundWarned_) {
            boundWarned_ = true;
            out.warning = QStringLiteral("%1 still cannot be written and %2 log entries are "
                                         "waiting; newer entries are not kept.")
                              .arg(fileName())
                              .arg(maxPending_);
        }
        return out;
    }
    pending_.push_back(block);
    const LogWriteOutcome last = flush();
    out.written = last.written;
    if (!last.warning.isEmpty())
        out.warning = last.warning;
    if (!last.recovered.isEmpty())
        out.recovered = last.recovered;
    return out;
}

LogWriteOutcome LogFile::retryPending() {
    if (pending_.empty())
        return {};
    return flush();
}

LogWriteOutcome LogFile::flush() {
    LogWriteOutcome out;
    if (pending_.empty()) {
        out.written = true;
        return out;
    }
    // One open for the whole backlog: it goes out in order, and a partly written block
    // keeps only its unwritten tail, so nothing is doubled in the file.
    const QByteArray all = pendingBytes();
    const int waiting = int(pending_.size());
    QString error;
    qint64 n = appender_(path_, all, &error);
    n = qBound<qint64>(0, n, all.size());
    while (n > 0 && !pending_.empty()) {
        QByteArray& front = pending_.front();
        if (n >= front.size()) {
            n -= front.size();
            pending_.pop_front();
        } else {
            front.remove(0, qsizetype(n));
            n = 0;
        }
    }

    if (pending_.empty()) {
        out.written = true;
        if (failing_) {
            out.recovered = QStringLiteral("%1 can be written again; %2 waiting log entries "
                                           "were added.")
                                .arg(fileName())
                                .arg(waiting);
            if (droppedInEpisode_ > 0)
                out.recovered += QStringLiteral(" %1 entries could not be kept and are missing.")
                                     .arg(droppedInEpisode_);
        }
        failing_ = false;
        boundWarned_ = false;
        droppedInEpisode_ = 0;
        return out;
    }
    if (!failing_) {
        failing_ = true;
        out.warning =
            QStringLiteral("%1 cannot be written (%2). Log entries are kept and will "
                           "be added as soon as the file can be written again.")
                .arg(fileName(), error.isEmpty() ? QStringLiteral("unknown error") : error);
    }
    return out;
}

} // namespace fh
