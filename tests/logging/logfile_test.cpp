// Failed log writes: one warning per episode, entries kept in order, nothing truncated, the
// bound on what is kept.
#include "logging/logfile.h"
#include "logging/statuslog.h"

#include "loghelpers.h"

#include <csignal>
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <sys/resource.h>

using namespace fh;
using namespace fh::test;

namespace {

DetectorRecord record(char status) {
    DetectorRecord r;
    r.StatusChar = quint8(status);
    r.SerialNumber = 42;
    r.LinkGood = true;
    return r;
}

// The real appender, until told to fail like a read-only or full disk.
struct SwitchableAppender {
    bool fail = false;
    int calls = 0;
    qint64 operator()(const QString& path, const QByteArray& bytes, QString* error) {
        ++calls;
        if (fail) {
            *error = "Read-only file system";
            return 0;
        }
        return AppendToFile(path, bytes, error);
    }
};

TEST(LogFile, LogNameTakenByADirectoryWarnsOnceAndCatchesUpInOrder) {
    // A directory in the log's place fails the open even for root.
    QTemporaryDir dir;
    const QString path = dir.filePath("Ir3Log.txt");
    ASSERT_TRUE(QDir().mkdir(path));
    StatusLog log(dir.path(), fixedClock());
    QSignalSpy warnings(&log, &StatusLog::warning);
    QSignalSpy recovered(&log, &StatusLog::recovered);

    log.Start(1, record('N'), 'N');
    log.WriteLogRecord(record('A'), true);
    log.Timer1Tick(record('W'), true);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_TRUE(warnings.at(0).at(0).toString().contains("Ir3Log.txt cannot be written"));
    EXPECT_EQ(log.file().pendingBlocks(), 4);

    ASSERT_TRUE(QDir().rmdir(path));
    log.WriteLogRecord(record('F'), true);
    EXPECT_EQ(recovered.count(), 1);
    EXPECT_EQ(log.file().pendingBlocks(), 0);
    const QByteArray all = readAll(path);
    EXPECT_TRUE(all.startsWith("\r\nAddr. "));
    QByteArray order;
    for (const QByteArray& line : all.split('\n')) {
        if (line.size() > 32 && line.startsWith("1 "))
            order += line.at(32);
    }
    EXPECT_EQ(order, "NAWF");

    // A second failure is a new episode with its own warning.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    log.WriteLogRecord(record('N'), true);
    EXPECT_EQ(warnings.count(), 2);
}

TEST(LogFile, ExistingContentIsNeverRewritten) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Ir3Log.txt");
    writeAll(path, "older run\r\n");
    SwitchableAppender appender;
    LogFile file(path);
    file.setAppender(std::ref(appender));

    appender.fail = true;
    EXPECT_FALSE(file.append("a\r\n").warning.isEmpty());
    EXPECT_TRUE(file.append("b\r\n").warning.isEmpty());
    EXPECT_TRUE(file.retryPending().warning.isEmpty());
    EXPECT_EQ(readAll(path), "older run\r\n");

    appender.fail = false;
    const LogWriteOutcome out = file.retryPending();
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(out.recovered.contains("2 waiting"));
    file.append("c\r\n");
    EXPECT_EQ(readAll(path), "older run\r\na\r\nb\r\nc\r\n");

    const int calls = appender.calls;
    file.retryPending(); // nothing kept: the file is not opened
    EXPECT_EQ(appender.calls, calls);
}

TEST(LogFile, NoHalfLineIsEverFollowedByTheNextBlock) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Ir3Log.txt");
    // A run that ended in the middle of a record left half a line: it is ended first.
    writeAll(path, "older\r\nhalf a rec");
    LogFile file(path);
    EXPECT_TRUE(file.append("next\r\n").written);
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n");

    // A disk that fills up in the middle of a block: the part written is taken back, the
    // block is kept whole and goes in whole later.
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = before;
    tight.rlim_cur = rlim_t(QFileInfo(path).size() + 5);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    const LogWriteOutcome full = file.append("0123456789\r\n");
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(full.written);
    EXPECT_FALSE(full.warning.isEmpty());
    EXPECT_EQ(file.pendingBlocks(), 1);
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n");
    const LogWriteOutcome later = file.append("second\r\n");
    EXPECT_TRUE(later.written);
    EXPECT_FALSE(later.recovered.isEmpty());
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n0123456789\r\nsecond\r\n");
}

TEST(LogFile, PastTheBoundNewerEntriesAreDropped) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Ir3Log.txt");
    SwitchableAppender appender;
    appender.fail = true;
    LogFile file(path, 3);
    file.setAppender(std::ref(appender));

    int warnings = 0;
    for (const char* block : {"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5\r\n"})
        warnings += file.append(block).warning.isEmpty() ? 0 : 1;
    EXPECT_EQ(warnings, 2); // the failure, then the full backlog
    EXPECT_EQ(file.pendingBlocks(), 3);
    EXPECT_EQ(file.droppedBlocks(), 2);

    appender.fail = false;
    const LogWriteOutcome out = file.append("6\r\n");
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(out.recovered.contains("2 entries could not be kept"));
    EXPECT_EQ(readAll(path), "1\r\n2\r\n3\r\n6\r\n");
}

} // namespace
