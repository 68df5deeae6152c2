#pragma once
// The file side of both logs: every header and record is appended with its own
// open-write-flush-close; a failed write keeps the bytes and adds them, in order, later.
#include <deque>
#include <functional>
#include <QByteArray>
#include <QString>

namespace fh {

// Appends `bytes` to the file at `path` (created when missing, never truncated) and closes
// it again. Returns how many bytes reached the file (all of them on success); on a failure
// `errorText` gets the system's reason.
using FileAppender =
    std::function<qint64(const QString& path, const QByteArray& bytes, QString* errorText)>;

// The real appender: all or nothing. The bytes count as written only once they are on the
// disk (fsync); a short write or a failed sync is cut off again, so the file never keeps half
// a record for the next header to follow. A file whose last line was left unfinished (a crash
// mid-write) gets its line ended first.
qint64 AppendToFile(const QString& path, const QByteArray& bytes, QString* errorText);

// What one write did, for the screen that shows the program's own warnings.
struct LogWriteOutcome {
    bool written = false; // this block and every block kept before it are in the file
    QString warning;      // a failure episode began, or the backlog just filled up
    QString recovered;    // the file took the kept blocks after a failure episode
};

class LogFile {
public:
    // Blocks (one header or one record each) kept while the file cannot be written.
    static constexpr int DefaultMaxPending = 10000;

    explicit LogFile(QString path, int maxPending = DefaultMaxPending);

    // Appends one block after any kept ones. When the file cannot be written the block is kept
    // (up to the bound; past it the newest blocks are dropped, so what reaches the file later
    // is an unbroken stretch from the start of the failure). The warning is given once per
    // failure episode, and once more when the bound is reached.
    LogWriteOutcome append(const QByteArray& block);
    // Tries to write the kept blocks now; nothing to do when none are kept.
    LogWriteOutcome retryPending();

    const QString& path() const { return path_; }
    QString fileName() const;
    int pendingBlocks() const { return int(pending_.size()); }
    // The kept blocks in order, as they would go to the file.
    QByteArray pendingBytes() const;
    // The kept blocks are safe elsewhere (saved by the operator): forget them.
    void forgetPending();
    qint64 droppedBlocks() const { return dropped_; }
    bool failing() const { return failing_; }

    // For tests: replaces the real appender.
    void setAppender(FileAppender appender);

private:
    LogWriteOutcome flush();

    QString path_;
    int maxPending_;
    FileAppender appender_;
    std::deque<QByteArray> pending_;
    bool failing_ = false;
    bool boundWarned_ = false;
    qint64 dropped_ = 0;
    qint64 droppedInEpisode_ = 0;
};

} // namespace fh
