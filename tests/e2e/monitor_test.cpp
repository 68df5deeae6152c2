// flamehost-cli monitor on a tap: a third pseudo-terminal hears both directions of a line that
// flamehost-cli polls flamehost-sim over, and the monitor must never send a byte.
#include "support/simprocess.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

// A new pseudo-terminal in raw mode; returns the master and sets *path to the device.
int rawPty(QString* path) {
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0 || ::grantpt(fd) != 0 || ::unlockpt(fd) != 0)
        return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    *path = QString::fromLocal8Bit(::ptsname(fd));
    return fd;
}

// Joins the host's pseudo-terminal to the simulator's and copies both directions to the
// monitor's; counts what the monitor sends.
class Tap {
public:
    explicit Tap(const QString& simDevice) {
        host_ = rawPty(&hostPath);
        monitor_ = rawPty(&monitorPath);
        sim_ = ::open(simDevice.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        thread_ = std::thread([this] { run(); });
    }
    ~Tap() {
        stop_ = true;
        thread_.join();
        for (int fd : {host_, monitor_, sim_})
            ::close(fd);
    }
    QString hostPath, monitorPath;
    std::atomic<int> fromMonitor{0};

private:
    void run() {
        char buf[512];
        while (!stop_) {
            pollfd fds[] = {{host_, POLLIN, 0}, {sim_, POLLIN, 0}, {monitor_, POLLIN, 0}};
            if (::poll(fds, 3, 1) <= 0)
                continue;
            bool moved = false;
            for (int i = 0; i < 3; ++i) {
                if (!(fds[i].revents & POLLIN))
                    continue;
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n <= 0)
                    continue;
                moved = true;
                if (i == 2) {
                    fromMonitor += int(n);
                    continue;
                }
                (void)!::write(i == 0 ? sim_ : host_, buf, size_t(n));
                (void)!::write(monitor_, buf, size_t(n));
            }
            if (!moved) // a closed far end keeps poll() awake
                ::usleep(500);
        }
    }
    int host_ = -1, monitor_ = -1, sim_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int poll(const QString& port, const char* address) {
    QProcess p;
    p.start(FH_BIN_DIR "/flamehost-cli", {"--port", port, "--address", address, "status"});
    p.waitForFinished(10000);
    return p.exitCode();
}

TEST(Monitor, HearsBothDirectionsAndNeverSends) {
    fh::test::SimProcess sim;
    ASSERT_TRUE(sim.ok());
    Tap tap(sim.device());
    QProcess monitor;
    monitor.start(FH_BIN_DIR "/flamehost-cli",
                  {"--port", tap.monitorPath, "--json", "--hex", "monitor"});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return monitor.readAllStandardError().contains("listening"); }, 5000));

    EXPECT_EQ(poll(tap.hostPath, "1"), 0);
    EXPECT_EQ(poll(tap.hostPath, "9"), 1); // nobody there
    QTest::qWait(400);                     // the monitor closes the last window on its own clock
    ::kill(pid_t(monitor.processId()), SIGINT);
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitCode(), 0);

    QStringList words;
    QJsonObject counters;
    for (const QByteArray& line : monitor.readAllStandardOutput().split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.contains("counters"))
            counters = o.value("counters").toObject();
        else if (!o.isEmpty())
            words << o.value("words").toString();
    }
    EXPECT_EQ(words,
              QStringList({"status request to 1", "status reply: Zorvan A2, serial 20417, status N",
                           "status request to 9", "no reply (600 ms)"}));
    EXPECT_EQ(counters.value("requests").toInt(), 2);
    EXPECT_EQ(counters.value("replies").toInt(), 1);
    EXPECT_EQ(counters.value("timeouts").toInt(), 1);
    EXPECT_EQ(tap.fromMonitor.load(), 0);
}

} // namespace
