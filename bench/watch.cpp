// The watch service's line handling in real time: 32 simulated detectors per line on the
// virtual line, one line alone and then four lines at once (one line worker each), status
// polls as fast as the line allows. Prints polls per second per line against one line alone
// and against the line's own limit, CPU per poll, and the resident memory over a longer run
// with readings and a metrics page rendered every second, as Prometheus would scrape it.
// Usage: bench/watch [SECONDS_PER_RATE_RUN=10] [SOAK_SECONDS=60]
#include "link/virtualport.h"
#include "sim/simbus.h"
#include "watch/linepoller.h"
#include "watch/metricstext.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace fh;
using namespace fh::watch;

namespace {

constexpr int Detectors = 32;
constexpr int Turnaround = 4000;
// The detectors answer 10 ms after a request, as the simulated ones do by default. One that
// answered the moment our driver lets go of the line would lose its first bytes whenever the
// worker thread releases the line a little late (a busy machine), and the figures would
// measure the machine's load rather than the service.
constexpr int LatencyUs = 10000;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double rssMb() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6 : 0;
}

// A bus of 32 quick detectors and the poller that watches it.
struct Line {
    explicit Line(int index, int readingsPeriodS) {
        for (int a = 1; a <= Detectors; ++a)
            bus.add(quint8(a), a % 4 == 0 ? 358 : 117, quint16(1000 * index + a))
                ->setLatencyUs(LatencyUs);
        LineConfig c;
        c.name = QStringLiteral("line-%1").arg(index);
        c.port = QStringLiteral("/dev/virtual%1").arg(index);
        for (int a = 1; a <= Detectors; ++a)
            c.detectors << a;
        c.readingsPeriodS = readingsPeriodS;
        c.turnaroundUs = Turnaround;
        poller = std::make_unique<LinePoller>(
            c, [this] { return std::make_unique<VirtualPort>(SteadyClock::instance(), bus); });
    }
    ~Line() { poller.reset(); }
    SimBus bus;
    std::unique_ptr<LinePoller> poller;
};

struct Run {
    std::vector<double> rates; // polls per second, per line
    double cpuPerPollMs = 0, cpuPercent = 0;
    quint64 polls = 0, good = 0;
    std::vector<std::pair<double, double>> rss; // seconds, MB
};

Run run(QCoreApplication& app, int lines, int seconds, int readingsPeriodS, bool scrape) {
    std::vector<std::unique_ptr<Line>> all;
    for (int i = 0; i < lines; ++i)
        all.push_back(std::make_unique<Line>(i + 1, readingsPeriodS));
    for (auto& l : all)
        l->poller->start();
    // Counting starts once every line is open and has been round once.
    QElapsedTimer warm;
    warm.start();
    while (warm.elapsed() < 3000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    std::vector<quint64> start;
    for (auto& l : all)
        start.push_back(l->poller->counters().polls);
    const quint64 good0 = [&] {
        quint64 g = 0;
        for (auto& l : all)
            g += l->poller->goodPolls();
        return g;
    }();

    Run r;
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QTimer tick;
    int ticks = 0;
    const int sampleEvery = std::max(1, seconds / 10);
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        ++ticks;
        if (scrape) {
            ServiceSnapshot s;
            for (auto& l : all) {
                LineSnapshot ls{
                    l->poller->config().name, l->poller->lineUp(), l->poller->counters(), {}};
                for (const auto& [a, d] : l->poller->detectors())
                    ls.detectors.push_back(d);
                s.lines.push_back(std::move(ls));
            }
            volatile qsizetype size = RenderMetrics(s).size();
            (void)size;
        }
        if (ticks % sampleEvery == 0)
            r.rss.push_back({wall.elapsed() / 1000.0, rssMb()});
        if (ticks >= seconds)
            app.quit();
    });
    r.rss.push_back({0, rssMb()});
    tick.start(1000);
    app.exec();
    const double elapsed = wall.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    for (size_t i = 0; i < all.size(); ++i) {
        const quint64 polls = all[i]->poller->counters().polls - start[i];
        r.rates.push_back(polls / elapsed);
        r.polls += polls;
        r.good += all[i]->poller->goodPolls();
    }
    r.good -= good0;
    r.cpuPerPollMs = 1000.0 * cpu / double(std::max<quint64>(1, r.polls));
    r.cpuPercent = 100.0 * cpu / elapsed;
    for (auto& l : all)
        l->poller->requestStop();
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
    const int soak = argc > 2 ? std::max(10, atoi(argv[2])) : 60;

    const double byteMs = VirtualPort::ByteUs / 1000.0;
    // Key-up before a command frame, 12 request bytes, the detector's latency (which covers the
    // turnaround), 14 reply bytes, 3.5 characters of silence.
    const double limit =
        1000.0 / (4.0 + 12 * byteMs + LatencyUs / 1000.0 + 14 * byteMs + 3.5 * byteMs);

    // One line alone before and after the four, so a machine that gets busier or quieter
    // meanwhile shows in the two references rather than in the comparison.
    const Run before = run(app, 1, seconds, 0, false);
    const Run four = run(app, 4, seconds, 0, false);
    const Run after = run(app, 1, seconds, 0, false);
    const double alone = (before.rates[0] + after.rates[0]) / 2;
    std::printf("bench/watch: %d detectors per line on the virtual line, TurnaroundDelay %d us, "
                "reply latency %d us, frame-complete replies, %d s per run\n",
                Detectors, Turnaround, LatencyUs, seconds);
    std::printf("line limit: %.3f status polls per second\n", limit);
    std::printf("%-18s %10s %14s %12s %8s %14s\n", "", "polls/s", "vs one line %", "vs limit %",
                "good %", "CPU/poll ms");
    const auto row = [&](const char* name, const Run& r, double rate) {
        std::printf("%-18s %10.3f %14.1f %12.1f %8.1f %14.3f\n", name, rate, 100.0 * rate / alone,
                    100.0 * rate / limit,
                    100.0 * double(r.good) / double(std::max<quint64>(1, r.polls)), r.cpuPerPollMs);
    };
    row("one line, before", before, before.rates[0]);
    for (size_t i = 0; i < four.rates.size(); ++i)
        row(QStringLiteral("four lines: %1").arg(i + 1).toLatin1().constData(), four,
            four.rates[i]);
    row("one line, after", after, after.rates[0]);
    std::printf("CPU: one line %.2f %% of a core, four lines %.2f %%\n",
                (before.cpuPercent + after.cpuPercent) / 2, four.cpuPercent);

    const Run s = run(app, 4, soak, 10, true);
    std::printf("soak: 4 lines, readings every 10 s, metrics page every second, %d s: "
                "%.3f ms CPU per poll (%.2f %% of a core)\n",
                soak, s.cpuPerPollMs, s.cpuPercent);
    std::printf("resident memory (MB):");
    for (const auto& [t, mb] : s.rss)
        std::printf(" %.0fs=%.1f", t, mb);
    std::printf("\n");
    return 0;
}
