// CommTune.txt: read, created when missing, and left alone when it holds no usable delay.
#include "common/bytes.h"
#include "link/datadir.h"
#include "link/tuningfile.h"

#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <QDir>
#include <QTemporaryDir>
#include <sys/stat.h>

namespace {

using fh::test::readAll;
using fh::test::writeAll;

TEST(TuningFileLoad, GivesDelayAndLeavesExistingFileAlone) {
    const struct {
        std::optional<QByteArray> content; // nullopt: no file
        int delay;
        bool warns;
    } cases[] = {{std::nullopt, 4000, false},   {"25000\r\n", 25000, false},
                 {"7000", 7000, false},         {"7000\r\n9000\r\n", 7000, false},
                 {"6000\n9000\n", 6000, false}, {" 5000 \r\n", 5000, false},
                 {"\t5000.6\r\n", 5001, false}, {"0\r\n", 0, false},
                 {"32767\r\n", 32767, false},   {"fast please\r\n", 4000, true},
                 {"5000us\r\n", 4000, true},    {"", 4000, true},
                 {"\r\n7000\r\n", 4000, true},  {"40000\r\n", 4000, true},
                 {"-1\r\n", 4000, true},        {QByteArray("\x00\xff\x01\x1b[2J", 7), 4000, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.value_or("<none>").toStdString());
        QTemporaryDir dir;
        const QString path = fh::TuningFilePath(dir.path());
        if (c.content)
            writeAll(path, *c.content);

        const fh::TuningLoad load = fh::LoadTuningFile(path);

        EXPECT_EQ(load.delayUs, c.delay);
        EXPECT_EQ(!load.warning.isEmpty(), c.warns) << qPrintable(load.warning);
        EXPECT_EQ(load.created, !c.content.has_value());
        EXPECT_EQ(readAll(path), c.content.value_or("4000\r\n"));
        if (c.warns) {
            EXPECT_TRUE(load.warning.contains("CommTune.txt"));
        }
        // The notice quotes the line, but never a control code or a stray byte of a binary file.
        for (const QChar ch : load.warning)
            EXPECT_TRUE(ch.isPrint() && ch != QChar(0xFF)) << int(ch.unicode());
        // Saving replaces the whole file, whatever it held.
        ASSERT_TRUE(fh::SaveTuningFile(path, 12000));
        EXPECT_EQ(readAll(path), QByteArray("12000\r\n"));
    }
}

TEST(TuningFile, DirectoryWhereItCannotBeCreatedGivesDefaultAndWarning) {
    QTemporaryDir dir;
    // A plain file where the directory should be: no user, root included, can create in it.
    const QString notADir = dir.filePath("plainfile");
    writeAll(notADir, "x");
    const QString path = fh::TuningFilePath(notADir);

    const fh::TuningLoad load = fh::LoadTuningFile(path);

    EXPECT_EQ(load.delayUs, 4000);
    EXPECT_FALSE(load.created);
    EXPECT_TRUE(load.warning.contains("CommTune.txt")) << qPrintable(load.warning);
    EXPECT_FALSE(fh::FileExists(path));
    EXPECT_FALSE(fh::FileExists(dir.path())); // a directory is no file either
}

// Something by that name that is not a regular file is never opened (a FIFO would wait for a
// writer for ever): the default, and the notice for a file without a delay.
TEST(TuningFile, AFifoOrAFolderByThatNameIsNeverRead) {
    for (const bool fifo : {true, false}) {
        QTemporaryDir dir;
        const QString path = fh::TuningFilePath(dir.path());
        ASSERT_TRUE(fifo ? ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                         : QDir(dir.path()).mkdir(fh::TuningFileName));

        const fh::TuningLoad load = fh::LoadTuningFile(path);

        EXPECT_EQ(load.delayUs, 4000) << fifo;
        EXPECT_TRUE(load.warning.contains("does not hold a turnaround delay")) << fifo;
        EXPECT_FALSE(fh::FileExists(path)) << fifo;
    }
}

TEST(TuningFile, F12NextDelayGrowsInFullWidthAndStartsAgainPastTheCeiling) {
    const std::pair<int, int> rows[] = {{0, 1000},     {4000, 5000},   {24000, 25000},
                                        {24500, 4000}, {25000, 4000},  {32000, 4000},
                                        {32767, 4000}, {INT_MAX, 4000}};
    for (const auto& [from, next] : rows)
        EXPECT_EQ(fh::NextTuningDelay(from), next) << from;
}

TEST(DataDirectory, OptionThenWritableProgramDirThenUserDir) {
    QTemporaryDir dir;
    const QString program = dir.filePath("bin");
    const QString user = dir.filePath("user/share/flamehost");
    const QString asked = dir.filePath("asked/deeper");
    QDir().mkpath(program);

    EXPECT_EQ(fh::ChooseDataDirectory(asked, program, user), asked);
    EXPECT_TRUE(QFileInfo(asked).isDir()); // created
    EXPECT_EQ(fh::ChooseDataDirectory({}, program, user), program);
    // A program directory that is not there (or not writable) falls back to the user's.
    EXPECT_EQ(fh::ChooseDataDirectory({}, program + "/gone", user), user);
    EXPECT_TRUE(QFileInfo(user).isDir());

    QString why;
    const QString blocked = dir.filePath("plainfile");
    writeAll(blocked, "x");
    EXPECT_TRUE(fh::ChooseDataDirectory(blocked + "/sub", program, user, &why).isEmpty());
    EXPECT_TRUE(why.contains("plainfile"));
    // The dialog's Com n is the system's n-th serial device, counted from one.
#ifdef Q_OS_WIN
    EXPECT_EQ(fh::ComPortDevice(6), "COM6");
#else
    EXPECT_EQ(fh::ComPortDevice(6), "/dev/ttyS5");
#endif
}

} // namespace
