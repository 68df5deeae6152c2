// Failed log writes: one warning per episode, entries kept in order, nothing truncated, the
// bound on what is kept.
#include "logging/logfile.h"
#include "logging/statuslog.h"

#include "common/diskroom.h"
#include "loghelpers.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace fh;
using namespace fh::test;

namespace {

// A log path in a fresh directory, and the real appender until told to fail like a read-only
// or full disk.
struct LogFileTest : testing::Test {
    QTemporaryDir dir;
    const QString path = dir.filePath("Ir3Log.txt");
    bool diskFails = false;
    int appends = 0;
    FileAppender switchable = [this](const QString& p, const QByteArray& bytes, QString* error) {
        ++appends;
        if (diskFails)
            *error = "Read-only file system";
        return diskFails ? 0 : AppendToFile(p, bytes, error);
    };
};

TEST_F(LogFileTest, LogNameTakenByADirectoryWarnsOnceAndCatchesUpInOrder) {
    // A directory in the log's place fails the open even for root.
    ASSERT_TRUE(QDir().mkdir(path));
    StatusLog log(dir.path(), fixedClock());
    QSignalSpy warnings(&log, &StatusLog::warning);
    QSignalSpy recovered(&log, &StatusLog::recovered);

    log.start(1, goodRecord('N'), 'N');
    log.writeRecord(goodRecord('A'), true);
    log.minuteTick(goodRecord('W'), true);
    EXPECT_EQ(warnings.count(), 1);
    EXPECT_TRUE(warnings.at(0).at(0).toString().contains("Ir3Log.txt cannot be written"));
    EXPECT_EQ(log.file().pendingBlocks(), 4);

    ASSERT_TRUE(QDir().rmdir(path));
    log.writeRecord(goodRecord('F'), true);
    EXPECT_EQ(recovered.count(), 1);
    EXPECT_EQ(log.file().pendingBlocks(), 0);
    auto line = [](char s) {
        return "1     12/5/26     4:27:37 AM    " + QByteArray(1, s) + "        4660\r\n";
    };
    EXPECT_EQ(readAll(path),
              StatusLogHeaderBytes() + line('N') + line('A') + line('W') + line('F'));

    // A second failure is a new episode with its own warning.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkdir(path));
    log.writeRecord(goodRecord(), true);
    EXPECT_EQ(warnings.count(), 2);
}

TEST_F(LogFileTest, ExistingContentIsNeverRewritten) {
    writeAll(path, "older run\r\n");
    LogFile file(path);
    file.setAppender(switchable);

    diskFails = true;
    EXPECT_FALSE(file.append("a\r\n").warning.isEmpty());
    EXPECT_TRUE(file.append("b\r\n").warning.isEmpty());
    EXPECT_TRUE(file.retryPending().warning.isEmpty());
    EXPECT_EQ(readAll(path), "older run\r\n");

    diskFails = false;
    const LogWriteOutcome out = file.retryPending();
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(out.recovered.contains("2 waiting"));
    file.append("c\r\n");
    EXPECT_EQ(readAll(path), "older run\r\na\r\nb\r\nc\r\n");

    const int calls = appends;
    file.retryPending(); // nothing kept: the file is not opened
    EXPECT_EQ(appends, calls);
}

TEST_F(LogFileTest, NoHalfLineIsEverFollowedByTheNextBlock) {
    // A run that ended in the middle of a record left half a line: it is ended first.
    writeAll(path, "older\r\nhalf a rec");
    LogFile file(path);
    EXPECT_TRUE(file.append("next\r\n").written);
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n");

    // A disk that fills up in the middle of a block: the part written is taken back, the
    // block is kept whole and goes in whole later.
    const LogWriteOutcome full =
        WithRoomFor(QFileInfo(path).size() + 5, [&] { return file.append("0123456789\r\n"); });
    EXPECT_FALSE(full.written);
    EXPECT_FALSE(full.warning.isEmpty());
    EXPECT_EQ(file.pendingBlocks(), 1);
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n");
    const LogWriteOutcome later = file.append("second\r\n");
    EXPECT_TRUE(later.written);
    EXPECT_FALSE(later.recovered.isEmpty());
    EXPECT_EQ(readAll(path), "older\r\nhalf a rec\r\nnext\r\n0123456789\r\nsecond\r\n");
}

TEST_F(LogFileTest, PastTheBoundNewerEntriesAreDropped) {
    diskFails = true;
    LogFile file(path, 3);
    file.setAppender(switchable);

    int warnings = 0;
    for (const char* block : {"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5\r\n"})
        warnings += file.append(block).warning.isEmpty() ? 0 : 1;
    EXPECT_EQ(warnings, 2); // the failure, then the full backlog
    EXPECT_EQ(file.pendingBlocks(), 3);
    EXPECT_EQ(file.droppedBlocks(), 2);

    diskFails = false;
    const LogWriteOutcome out = file.append("6\r\n");
    EXPECT_TRUE(out.written);
    EXPECT_TRUE(out.recovered.contains("2 entries could not be kept"));
    EXPECT_EQ(readAll(path), "1\r\n2\r\n3\r\n6\r\n");
}

} // namespace
