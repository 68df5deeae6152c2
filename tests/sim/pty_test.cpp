// flamehost-sim's bus on a pseudo-terminal, reached as any serial program reaches a device:
// plain open, raw termios, write, read. The time limits only guard against a hang.
#include "sim/simhelpers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <termios.h>
#include <unistd.h>

using namespace fh::test;

namespace {

int openDevice(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads until `count` bytes came or nothing more arrives for a long while.
QByteArray readBytes(int fd, int count) {
    QByteArray got;
    char buf[256];
    pollfd p{fd, POLLIN, 0};
    ssize_t n = 0;
    while (got.size() < count && ::poll(&p, 1, 5000) > 0 && (n = ::read(fd, buf, sizeof buf)) > 0)
        got.append(buf, n);
    return got;
}

} // namespace

const QString Program = QStringLiteral(FH_BIN_DIR "/flamehost-sim");

TEST(SimPty, ProgramPrintsThePathKeepsTheLinkAndCleansUp) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("ttySIM");
    ASSERT_TRUE(QFile::link("/nonexistent/stale", link)); // left over by an earlier run

    QProcess sim;
    sim.start(Program, {"--link", link});
    ASSERT_TRUE(sim.waitForStarted());
    ASSERT_TRUE(sim.waitForReadyRead(10000));
    const QString path = QString::fromLocal8Bit(sim.readLine()).trimmed();
    EXPECT_TRUE(path.startsWith("/dev/")) << path.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);

    const int fd = openDevice(link);
    ASSERT_GE(fd, 0);
    // Two requests in one burst get two replies; a request with a bad check gets none.
    const QByteArray burst =
        hex(StatusTo1) + hex("01 03 00 01 00 01 D5 CA") + hex("01 03 00 01 00 01 D5 CB");
    ASSERT_EQ(::write(fd, burst.constData(), burst.size()), burst.size());
    EXPECT_EQ(spaced(readBytes(fd, 14 + 7)),
              "01 C8 09 00 20 00 75 4F C1 00 4E 00 CB 62 01 03 02 25 30 A2 C0");
    ::close(fd);

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimPty, ProgramRefusesABadScenario) {
    // What the file says wrong is the scenario reader's part; the program's is to say it and stop.
    QTemporaryDir dir;
    const QString file = dir.filePath("bus.json");
    ASSERT_TRUE(writeAll(file, "[]"));
    QProcess sim;
    sim.start(Program, {"--scenario", file});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    EXPECT_TRUE(err.startsWith("flamehost-sim: " + file + ": ")) << err.toStdString();
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}
