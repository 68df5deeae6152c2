// flamehost-cli monitor on a tap: a third line hears both directions of a line that
// flamehost-cli polls flamehost-sim over, and the monitor must never send a byte.
#include "common/waitfor.h"
#include "support/ptypair.h"
#include "support/simprocess.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <QJsonDocument>
#include <QJsonObject>
#include <thread>
#include <unistd.h>

namespace {

// Joins the host's line to the simulator's and copies both directions to the monitor's line;
// counts what the monitor sends. Host and monitor take the a() ends, the tap the b() ends.
class Tap {
public:
    explicit Tap(const QString& simDevice)
        : fd_{open(host.b()), open(simDevice), open(monitor.b())} {}
    ~Tap() {
        stop_ = true;
        thread_.join();
        for (int fd : fd_)
            ::close(fd);
    }
    fh::test::PtyPair host, monitor;
    std::atomic<int> fromMonitor{0};

private:
    void run() {
        char buf[512];
        while (!stop_) {
            pollfd fds[] = {{fd_[0], POLLIN, 0}, {fd_[1], POLLIN, 0}, {fd_[2], POLLIN, 0}};
            (void)::poll(fds, 3, 1);
            bool moved = false;
            for (int i = 0; i < 3; ++i) {
                const ssize_t n = fds[i].revents & POLLIN ? ::read(fds[i].fd, buf, sizeof buf) : 0;
                moved = moved || n > 0;
                if (n > 0 && i == 2)
                    fromMonitor += int(n);
                else if (n > 0) // host <-> simulator, and both ways to the monitor
                    for (int to : {1 - i, 2})
                        (void)!::write(fd_[to], buf, size_t(n));
            }
            if (!moved) // a closed far end keeps poll() awake
                ::usleep(500);
        }
    }
    static int open(const QString& path) { return ::open(qPrintable(path), O_RDWR | O_NOCTTY); }
    int fd_[3]; // host, simulator, monitor
    std::atomic<bool> stop_{false};
    std::thread thread_{[this] { run(); }};
};

TEST(Monitor, HearsBothDirectionsAndNeverSends) {
    fh::test::SimProcess sim;
    ASSERT_TRUE(sim.ok());
    Tap tap(sim.device());
    if (!tap.host.ok() || !tap.monitor.ok())
        GTEST_SKIP() << "socat with pseudo-terminals is not available";
    QProcess monitor;
    monitor.start(FH_BIN_DIR "/flamehost-cli",
                  {"--port", tap.monitor.a(), "--json", "--hex", "monitor"});
    QByteArray err, out;
    ASSERT_TRUE(fh::test::WaitFor(
        [&] { return (err += monitor.readAllStandardError()).contains("listening"); }, 5000));

    const auto status = [&](const char* address) {
        return QProcess::execute(FH_BIN_DIR "/flamehost-cli",
                                 {"--port", tap.host.a(), "--address", address, "status"});
    };
    EXPECT_EQ(status("1"), 0);
    EXPECT_EQ(status("9"), 1); // nobody there
    // The monitor closes the last window on its own clock: its line comes after ours ends.
    EXPECT_TRUE(fh::test::WaitFor(
        [&] { return (out += monitor.readAllStandardOutput()).contains("no reply"); }, 5000));
    ::kill(pid_t(monitor.processId()), SIGINT);
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitCode(), 0);

    // One line per frame heard, then the counters.
    QList<QByteArray> lines = (out + monitor.readAllStandardOutput()).trimmed().split('\n');
    const QJsonObject counters = QJsonDocument::fromJson(lines.takeLast())["counters"].toObject();
    QStringList words;
    for (const QByteArray& line : lines)
        words << QJsonDocument::fromJson(line)["words"].toString();
    EXPECT_EQ(words,
              QStringList({"status request to 1", "status reply: Zorvan A2, serial 20417, status N",
                           "status request to 9", "no reply (600 ms)"}));
    EXPECT_EQ(counters, QJsonDocument::fromJson(R"({"requests":2,"replies":1,"timeouts":1,
        "bad_check":0,"malformed":0,"discarded_bytes":0})")
                            .object());
    EXPECT_EQ(tap.fromMonitor.load(), 0);
}

} // namespace
