// Polls one simulated detector on the virtual line in real time and prints how close the
// poll rate comes to the line's own limit, what it costs in CPU, how exactly the line is
// released after each request, and how long the screen thread ever waits.
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/virtualport.h"
#include "sim/simbus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <sys/resource.h>
#include <vector>

using namespace fh;

namespace {

// The real clock, watching every wait for an early return.
class WatchedClock final : public Clock {
public:
    qint64 nowUs() const override { return SteadyClock::instance().nowUs(); }
    void sleepUntilUs(qint64 t) override {
        SteadyClock::instance().sleepUntilUs(t);
        if (nowUs() < t)
            early.fetch_add(1);
    }
    std::atomic<int> early{0};
};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * v.size()))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int turnaround = 4000;

    WatchedClock clock;
    SimBus bus;
    // An instant detector: it answers the moment our driver lets go of the line.
    bus.add(1, 117, 4242)->setLatencyUs(turnaround);
    VirtualPort* port = nullptr;
    LineWorker worker(
        [&] {
            auto p = std::make_unique<VirtualPort>(clock, bus);
            port = p.get();
            port->setTracing(true);
            return p;
        },
        MakeReplyChecker(), clock);
    worker.setTurnaroundDelay(turnaround);
    if (!worker.openPort()) {
        std::fprintf(stderr, "cannot open the virtual line\n");
        return 2;
    }

    int polls = 0, good = 0;
    QObject::connect(&worker, &LineWorker::cycleDone, &app, [&](const Exchange& x) {
        ++polls;
        good += x.answered && x.reply.size() >= 12;
    });

    // The screen thread's stalls: lateness of each tick of a 10 ms precise timer.
    std::vector<double> stallsMs;
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        if (sinceTick.isValid())
            stallsMs.push_back(std::max(0.0, sinceTick.nsecsElapsed() / 1e6 - 10.0));
        sinceTick.restart();
    });

    const QByteArray status = QByteArray::fromHex("01C8070020D15B040503BD27");
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    worker.setCycle(Transaction{Pattern::Poll, status});
    tick.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    worker.setCycle(std::nullopt);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const auto events = port->events();
    worker.stop();

    // RTS release: from the last byte of each request to RTS off.
    std::vector<double> releaseErrUs;
    qint64 lastTx = -1;
    bool sawTx = false;
    for (const LineEvent& e : events) {
        if (e.kind == LineEvent::TxByte) {
            lastTx = e.timeUs;
            sawTx = true;
        } else if (e.kind == LineEvent::RtsOff && sawTx) {
            releaseErrUs.push_back(double(e.timeUs - lastTx - turnaround));
            sawTx = false;
        }
    }
    const double byteMs = VirtualPort::ByteUs / 1000.0;
    const double theoreticalMs = 4.0 + 12 * byteMs + turnaround / 1000.0 + byteMs + 100.0;
    const double rate = polls / elapsed;
    const double ideal = 1000.0 / theoreticalMs;
    const double minErr =
        releaseErrUs.empty() ? 0 : *std::min_element(releaseErrUs.begin(), releaseErrUs.end());

    std::printf("poll_rate: %d s on the virtual line, TurnaroundDelay %d us\n", seconds,
                turnaround);
    std::printf("  status polls           %d (%d good)\n", polls, good);
    std::printf("  polls per second       %.3f\n", rate);
    std::printf("  line limit per second  %.3f (4 ms key + 12 bytes + turnaround + first reply "
                "byte + 100 ms)\n",
                ideal);
    std::printf("  ratio to the limit     %.1f %%\n", 100.0 * rate / ideal);
    std::printf("  CPU                    %.2f %% of one core\n", 100.0 * cpu / elapsed);
    std::printf("  RTS release error      p50 %.0f us, p99 %.0f us, max %.0f us, min %.0f us\n",
                percentile(releaseErrUs, 50), percentile(releaseErrUs, 99),
                percentile(releaseErrUs, 100), minErr);
    std::printf("  waits returned early   %d\n", clock.early.load());
    std::printf("  screen thread stall    p99 %.2f ms, max %.2f ms\n", percentile(stallsMs, 99),
                percentile(stallsMs, 100));
    return 0;
}
