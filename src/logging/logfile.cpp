#include "logging/logfile.h"

#include <QFile>
#include <QFileInfo>

namespace fh {

qint64 AppendToFile(const QString& path, const QByteArray& bytes, QString* errorText) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (errorText)
            *errorText = file.errorString();
        return 0;
    }
    qint64 total = 0;
    while (total < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + total, bytes.size() - total);
        if (n <= 0) {
            if (errorText)
                *errorText = file.errorString();
            break;
        }
        total += n;
    }
    file.close();
    return total;
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
    QByteArray all;
    for (const QByteArray& b : pending_)
        all.append(b);
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
