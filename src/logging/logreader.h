#pragma once
// Reading Ir3Log.txt and Ir3SumsLog.txt back: their records, the logging runs their headers
// begin, and the lines that cannot be read. Streams in chunks with bounded memory, so a worker
// thread can read a log of any size and report its progress between chunks.
#include "logging/columnreader.h"
#include "logging/logclockreader.h"

#include <array>
#include <optional>
#include <QIODevice>
#include <string>
#include <vector>

namespace fh {

enum class LogKind { Unknown, Status, Sums };

// One record as it was written. Date and time are the writing machine's wall clock: the log
// carries no time zone.
struct LogRecord {
    qint64 line = 0; // its first line in the file, from 1
    int run = 0;     // the logging run: 0 before the file's first header, then 1, 2, ...
    QDate date;
    QTime time;
    quint8 address = 0;
    // Nothing for an empty serial column (status log: the link was bad, or the main screen was
    // hidden and the column blank).
    std::optional<quint16> serial;
    char status = 0; // the status character (Latin-1); status log: also "D" and "f"
    char fault = 0;  // sums log: 'F' or 'N'; 0 when not written (always in the status log)
    double sum4 = 0, sum45 = 0, sum5 = 0; // sums log only
};

// A header block: a logging run begins.
struct LogRun {
    int index = 0;
    qint64 line = 0; // the line of its column titles
};

struct UnreadableLine {
    qint64 line = 0;
    QString reason; // plain words; text from the file in it has its control bytes as \xNN
};

// What one chunk of the file completed, in file order within each list.
struct LogBatch {
    std::vector<LogRecord> records;
    std::vector<LogRun> runs;
    std::vector<UnreadableLine> unreadable;
};

// Reads a log from an open device (a QFile, a QBuffer). It owns nothing shared: create it on the
// thread that reads, call read() until atEnd(), and stop between two calls to cancel. A line is
// unreadable when it is longer than MaxLineBytes, when its last line has no line end (cut off),
// when its columns or fields are not what the writer writes, and when it belongs to the other
// log; empty lines and the header lines are not counted.
class LogReader {
public:
    static constexpr qint64 DefaultChunkBytes = 1 << 20;
    static constexpr qsizetype MaxLineBytes = 1024;
    // A batch ends early once it holds this many records and unreadable lines together.
    static constexpr size_t MaxBatchItems = 16384;

    // `kind`: which log is expected; Unknown takes it from the first header or record. The
    // locale is the one the log was written with (the writer uses the system's).
    explicit LogReader(QIODevice* device, LogKind kind = LogKind::Unknown,
                       QLocale locale = QLocale::system());

    // Reads up to `maxBytes` more (or goes on with the bytes a full batch left) and returns what
    // they completed; at the end of the device also the last record.
    LogBatch read(qint64 maxBytes = DefaultChunkBytes);
    bool atEnd() const { return atEnd_; }

    LogKind kind() const { return kind_; }
    qint64 bytesRead() const { return bytesRead_; } // progress against the device's size
    qint64 linesRead() const { return lineNumber_; }
    qint64 unreadableLines() const { return unreadableCount_; }
    // Why the device could not be read; empty while it could.
    const QString& error() const { return error_; }

private:
    void takeLine(QByteArrayView line, LogBatch& out);
    bool isHeaderLine(QByteArrayView line) const;
    void takeHeaderLine(QByteArrayView line, LogBatch& out);
    // The record read last is complete: a record, or its lines are unreadable.
    void finishEntry(LogBatch& out);
    void finish(LogBatch& out);
    // A record from the first `lines` lines of the entry, or why they are none.
    std::optional<LogRecord> parse(int lines, QString* why);
    std::optional<LogRecord> parseAs(LogKind kind, int lines, QString* why);
    void unreadable(qint64 line, const QString& reason, LogBatch& out);

    QIODevice* device_;
    LogKind kind_;
    LogClockReader clock_;
    QByteArray buffer_;
    qsizetype filled_ = 0, pos_ = 0; // buffer_ holds filled_ bytes; those before pos_ are taken
    bool deviceDone_ = false;        // the device has nothing after buffer_
    std::string partial_;            // the start of a line the next chunk ends
    bool overlong_ = false; // the line being read is past MaxLineBytes; its bytes are dropped
    std::array<std::string, MaxColumnItems> entry_; // the record read last, its lines
    int entryLines_ = 0;
    qint64 entryLine_ = 0;
    qint64 lineNumber_ = 0;
    qint64 bytesRead_ = 0;
    qint64 unreadableCount_ = 0;
    int run_ = 0;
    bool atEnd_ = false;
    QString error_;
};

} // namespace fh
