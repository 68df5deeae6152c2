// The bus on a pseudo-terminal, reached as any serial program reaches a device: plain open,
// raw termios, write, read. The time limits only guard against a hang.
#include "sim/ptyserver.h"
#include "sim/simbus.h"
#include "sim/simhelpers.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <termios.h>
#include <unistd.h>

using namespace fh;
using fh::test::hex;

namespace {

const QByteArray StatusReply1 = hex("01 C8 09 00 20 00 75 4F C1 00 4E 00 CB 62");

int openDevice(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return fd;
    termios tio{};
    ::tcgetattr(fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Reads until `count` bytes came or nothing more arrives for a long while.
QByteArray readBytes(int fd, int count) {
    QByteArray got;
    while (got.size() < count) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0)
            break;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    return got;
}

bool writeBytes(int fd, const QByteArray& bytes) {
    return ::write(fd, bytes.constData(), bytes.size()) == bytes.size();
}

} // namespace

TEST(SimPty, RequestsAreDelimitedByTheirLength) {
    auto bus = makeDefaultBus();
    bus->detector(1)->setStatusChar('N');
    PtyServer server(*bus);
    QString error;
    ASSERT_TRUE(server.open(&error)) << error.toStdString();
    server.start();
    const int fd = openDevice(server.devicePath());
    ASSERT_GE(fd, 0);
    // Two requests in one burst get two replies; a request with a bad check gets none.
    ASSERT_TRUE(writeBytes(fd, hex(fh::test::StatusTo1) + hex("01 03 00 01 00 01 D5 CA") +
                                   hex("01 03 00 01 00 01 D5 CB")));
    const QByteArray got = readBytes(fd, 14 + 7);
    EXPECT_EQ(fh::test::spaced(got), fh::test::spaced(StatusReply1 + hex("01 03 02 25 30 A2 C0")));
    ::close(fd);
}

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
    ASSERT_TRUE(writeBytes(fd, hex(fh::test::StatusTo1)));
    const QByteArray reply = readBytes(fd, 14);
    ASSERT_EQ(reply.size(), 14);
    EXPECT_EQ(fh::test::spaced(reply.left(10)), fh::test::spaced(StatusReply1.left(10)));
    ::close(fd);

    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimPty, ProgramRefusesABadScenario) {
    QTemporaryDir dir;
    const QString file = dir.filePath("bus.json");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"detectors\": [{\"address\": 300}]}");
    f.close();
    QProcess sim;
    sim.start(Program, {"--scenario", file});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    EXPECT_TRUE(err.contains(file) && err.contains("\"address\"")) << err.toStdString();
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty());
}
