// Polls one simulated detector on the virtual line in real time and prints how close the poll
// rate comes to the line's own limit, what each thread spends per poll, how exactly the line
// is released after each request, and how long the screen thread ever waits: with the fixed
// collection window, with frame-complete collection, and with the traffic window open.
// With --chart: the maintenance refresh (read inputs, fixed window) without and with the
// readings chart open, filled with an hour of readings and drawing its 15-minute window.
//
// CPU is per thread (the kernel's schedstat): the line worker's, with the simulated
// detector's own work (timed inside it) taken out and shown apart, and the screen thread's.
// The stall probe (a 10 ms timer on the screen thread) runs in a pass of its own after the
// measured one, so it costs the figures nothing; its own CPU is the screen thread's extra.
#include "detector/maintenance.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "link/virtualport.h"
#include "procstats.h"
#include "screens/charts/readingschart.h"
#include "screens/prompts/qtprompts.h"
#include "screens/traffic/trafficmodel.h"
#include "screens/traffic/trafficwindow.h"
#include "sim/simbus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <thread>
#include <unistd.h>
#include <vector>
#ifdef __linux__
#include <sys/prctl.h>
#endif

using namespace fh;
using namespace fh::bench;

namespace {

// The real clock, watching every wait for an early return.
class WatchedClock final : public Clock {
public:
    qint64 nowUs() const override { return SteadyClock::instance().nowUs(); }
// Builds whose waits take no stop event have the older signature; both are measured.
#if __has_include("link/wakeevent.h")
    using Clock::sleepUntilUs;
    bool sleepUntilUs(qint64 t, const WakeEvent* wake) override {
        const bool slept = SteadyClock::instance().sleepUntilUs(t, wake);
        if (slept && nowUs() < t)
            early.fetch_add(1);
        return slept;
    }
#else
    void sleepUntilUs(qint64 t) override {
        SteadyClock::instance().sleepUntilUs(t);
        if (nowUs() < t)
            early.fetch_add(1);
    }
#endif
    bool runsWithWall() const override {
        return true;
    }
    std::atomic<int> early{0};
};

qint64 threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// The simulated detector, with the CPU its answers take on the worker's thread counted apart.
class TimedPeer final : public LinePeer {
public:
    explicit TimedPeer(LinePeer& inner) : inner_(inner) {}
    std::vector<ReplySegment> answer(const QByteArray& request, qint64 endUs) override {
        const qint64 t0 = threadCpuNs();
        auto reply = inner_.answer(request, endUs);
        cpuNs += threadCpuNs() - t0;
        return reply;
    }
    std::atomic<qint64> cpuNs{0};

private:
    LinePeer& inner_;
};

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p / 100.0 * v.size()))];
}

enum class Mode { Fixed, Fast, FastWithWindow, Refresh, RefreshWithChart };

const char* modeName(Mode m) {
    switch (m) {
    case Mode::Fixed:
        return "fixed 100 ms";
    case Mode::Fast:
        return "frame-complete";
    case Mode::FastWithWindow:
        return "+ traffic window";
    case Mode::Refresh:
        return "refresh";
    case Mode::RefreshWithChart:
        return "refresh + chart";
    }
    return "";
}

struct Figures {
    int polls = 0, good = 0;
    double elapsed = 0, ideal = 0;
    qint64 workerNs = 0, simNs = 0, screenNs = 0, processNs = 0;
    qint64 workerWakeups = 0, screenWakeups = 0, processWakeups = 0;
    std::vector<double> releaseErrUs;
    std::vector<double> floorErrUs; // the same two waits with no program around them
    int early = 0;
    // the probe's pass
    std::vector<double> stallsMs;
    double probeCpuPercent = 0;
    double rate() const { return polls / elapsed; }
    double perPollMs(qint64 ns) const { return ns / 1e6 / std::max(1, polls); }
    double perPoll(qint64 n) const { return double(n) / std::max(1, polls); }
};

// One pass of `seconds` in a mode; with probe, only the screen thread's stalls and CPU count.
Figures run(int seconds, Mode mode, bool probe) {
    const int turnaround = 4000;
    const bool fast = mode == Mode::Fast || mode == Mode::FastWithWindow;
    const bool refresh = mode == Mode::Refresh || mode == Mode::RefreshWithChart;
    Figures f;
    WatchedClock clock;
    SimBus bus;
    // An instant detector: it answers the moment our driver lets go of the line.
    bus.add(1, 117, 4242)->setLatencyUs(turnaround);
    TimedPeer peer(bus);
    VirtualPort* port = nullptr;
    std::atomic<qint64> workerTid{0};
    LineWorker worker(
        [&] {
            workerTid = ::gettid();
            auto p = std::make_unique<VirtualPort>(clock, peer);
            port = p.get();
            port->setTracing(!probe);
            return p;
        },
        MakeReplyChecker(), clock);
    worker.setTurnaroundDelay(turnaround);
    if (!worker.openPort()) {
        std::fprintf(stderr, "cannot open the virtual line\n");
        std::exit(2);
    }
    QPointer<TrafficWindow> window;
    if (mode == Mode::FastWithWindow) {
        // The window as the operator has it after a long session: filled to its bound, so
        // every new row drops an old one.
        window = new TrafficWindow(worker);
        const QByteArray request = QByteArray::fromHex("01C8070020D15B040503BD27");
        for (int i = 0; i < TrafficModel::DefaultMaxRows; ++i)
            window->model().add(Traffic::sent(clock.nowUs(), request));
        window->show();
        QCoreApplication::processEvents();
    }
    std::unique_ptr<QtPrompts> prompts;
    std::unique_ptr<ReadingsChart> chart;
    if (mode == Mode::RefreshWithChart) {
        // An hour of readings already taken and the widest window: the most the chart draws.
        prompts = std::make_unique<QtPrompts>();
        chart = std::make_unique<ReadingsChart>(SteadyClock::instance(), *prompts, QString());
        chart->resize(520, 380);
        chart->show();
        for (int i = 0; i < ReadingsSeries::MaxSamples; ++i)
            chart->addReading({float(i % 977), 2, 3, 4, 5, 6});
        chart->setWindowMinutes(15);
        QCoreApplication::processEvents();
    }
    MaintenanceReadings readings;
    QObject::connect(&worker, &LineWorker::cycleDone, qApp, [&](const Exchange& x) {
        ++f.polls;
        f.good += x.answered && x.reply.size() >= 12;
        if (!chart)
            return;
        // What the maintenance screen hands the chart for a refresh.
        if (!x.answered) {
            chart->addGap();
            return;
        }
        readings = DecodeMaintenanceReply(x.reply, readings, QString(), QString()).readings;
        chart->addReading({readings.Sum4, readings.Sum45, readings.Sum5, float(readings.Noise4),
                           float(readings.Noise45), float(readings.Noise5)});
    });

    // The screen thread's stalls: lateness of each tick of a 10 ms precise timer.
    QElapsedTimer sinceTick;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, qApp, [&] {
        if (sinceTick.isValid())
            f.stallsMs.push_back(std::max(0.0, sinceTick.nsecsElapsed() / 1e6 - 10.0));
        sinceTick.restart();
    });

    Transaction poll{Pattern::Poll,
                     refresh ? ReadInputs(1, 15) : QByteArray::fromHex("01C8070020D15B040503BD27")};
    poll.fastReply = fast;
    worker.setCycle(poll);
    // Past the start: the window's first paint, the first exchanges.
    QTimer::singleShot(1000, qApp, &QCoreApplication::quit);
    qApp->exec();
    f.polls = f.good = 0;
    const qint64 pid = ::getpid();
    const ProcessStat before = processStat(pid);
    const qint64 simBefore = peer.cpuNs.load();
    QElapsedTimer wall;
    wall.start();
    if (probe)
        tick.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    qApp->exec();
    const ProcessStat after = processStat(pid);
    f.elapsed = wall.nsecsElapsed() / 1e9;
    f.simNs = peer.cpuNs.load() - simBefore;
    tick.stop();
    worker.setCycle(std::nullopt);
    const ThreadStat w = threadDelta(before, after, workerTid.load());
    const ThreadStat s = threadDelta(before, after, pid);
    f.workerNs = w.cpuNs - f.simNs;
    f.workerWakeups = w.voluntary;
    f.screenNs = s.cpuNs;
    f.screenWakeups = s.voluntary;
    f.processNs = after.cpuNs - before.cpuNs - f.simNs;
    f.processWakeups = after.voluntary - before.voluntary;
    const auto events = port->events();
    worker.stop();
    delete window;
    chart.reset();
    f.early = clock.early.load();

    // RTS release: from the last byte of each request to RTS off.
    qint64 lastTx = -1;
    bool sawTx = false;
    for (const LineEvent& e : events) {
        if (e.kind == LineEvent::TxByte) {
            lastTx = e.timeUs;
            sawTx = true;
        } else if (e.kind == LineEvent::RtsOff && sawTx) {
            f.releaseErrUs.push_back(double(e.timeUs - lastTx - turnaround));
            sawTx = false;
        }
    }
    const double byteMs = VirtualPort::ByteUs / 1000.0;
    const double request = 4.0 + 12 * byteMs + turnaround / 1000.0;
    // Fixed: first reply byte + 100 ms. Frame-complete: the 14-byte reply + 3.5 characters.
    // (The refresh modes' request is shorter and has no key-up wait: compare them only with
    // each other.)
    f.ideal = 1000.0 / (fast ? request + 14 * byteMs + 3.5 * byteMs : request + byteMs + 100.0);
    return f;
}

// The machine's floor for the RTS release: the release is two timed waits (to the end of the
// request, then the turnaround from there), so the same two waits, on a thread set up as the
// line worker is and with nothing else around them, show how late a wake-up alone comes.
std::vector<double> bareReleaseFloor(size_t n, qint64 requestUs, qint64 turnaroundUs) {
    std::vector<double> late;
    std::thread t([&] {
#ifdef __linux__
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
        SteadyClock& clock = SteadyClock::instance();
        for (size_t i = 0; i < n; ++i) {
            const qint64 start = clock.nowUs();
            clock.sleepUntilUs(start + requestUs, nullptr);
            clock.sleepUntilUs(clock.nowUs() + turnaroundUs, nullptr);
            late.push_back(double(clock.nowUs() - (start + requestUs + turnaroundUs)));
        }
    });
    t.join();
    return late;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int seconds = 20;
    bool charts = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--chart") == 0)
            charts = true;
        else
            seconds = std::max(2, atoi(argv[i]));
    }
    const double load = loadAverage();
    std::vector<Figures> modes;
    const std::vector<Mode> chosen =
        charts ? std::vector{Mode::Refresh, Mode::RefreshWithChart}
               : std::vector{Mode::Fixed, Mode::Fast, Mode::FastWithWindow};
    for (Mode m : chosen) {
        Figures f = run(seconds, m, false);
        const Figures p = run(std::max(2, seconds / 2), m, true);
        f.stallsMs = p.stallsMs;
        // The probe's cost: what the screen thread spends per second beyond the measured pass.
        f.probeCpuPercent = 100.0 * (p.screenNs / 1e9 / p.elapsed - f.screenNs / 1e9 / f.elapsed);
        f.floorErrUs = bareReleaseFloor(std::clamp<size_t>(f.releaseErrUs.size(), 100, 400),
                                        12 * VirtualPort::ByteUs, 4000);
        modes.push_back(std::move(f));
    }

    std::printf("poll_rate: %d s per mode on the virtual line, turnaround 4000 us, platform %s, "
                "load average %.2f at the start, %.2f at the end\n",
                seconds, qPrintable(QApplication::platformName()), load, loadAverage());
    std::printf("%-34s", "");
    for (Mode m : chosen)
        std::printf(" %16s", modeName(m));
    std::printf("\n");
    auto row = [&](const char* name, auto value, const char* format) {
        std::printf("%-34s", name);
        for (const Figures& f : modes) {
            char cell[64];
            std::snprintf(cell, sizeof cell, format, value(f));
            std::printf(" %16s", cell);
        }
        std::printf("\n");
    };
    row(
        "status polls", [](const Figures& f) { return f.polls; }, "%d");
    row(
        "  good", [](const Figures& f) { return f.good; }, "%d");
    row(
        "polls per second", [](const Figures& f) { return f.rate(); }, "%.3f");
    row(
        "line limit per second", [](const Figures& f) { return f.ideal; }, "%.3f");
    row(
        "ratio to the limit %", [](const Figures& f) { return 100.0 * f.rate() / f.ideal; },
        "%.1f");
    row(
        "CPU per poll (ms): line worker", [](const Figures& f) { return f.perPollMs(f.workerNs); },
        "%.3f");
    row(
        "  screen thread", [](const Figures& f) { return f.perPollMs(f.screenNs); }, "%.3f");
    row(
        "  whole process", [](const Figures& f) { return f.perPollMs(f.processNs); }, "%.3f");
    row(
        "  simulated detector (apart)", [](const Figures& f) { return f.perPollMs(f.simNs); },
        "%.3f");
    row(
        "CPU % of one core, whole process",
        [](const Figures& f) { return 100.0 * f.processNs / 1e9 / f.elapsed; }, "%.2f");
    row(
        "wakeups per poll: line worker",
        [](const Figures& f) { return f.perPoll(f.workerWakeups); }, "%.2f");
    row(
        "  screen thread", [](const Figures& f) { return f.perPoll(f.screenWakeups); }, "%.2f");
    row(
        "  all threads", [](const Figures& f) { return f.perPoll(f.processWakeups); }, "%.2f");
    row(
        "RTS release p50 (us late)",
        [](const Figures& f) { return percentile(f.releaseErrUs, 50); }, "%.0f");
    row(
        "RTS release p99 (us late)",
        [](const Figures& f) { return percentile(f.releaseErrUs, 99); }, "%.0f");
    row(
        "RTS release max (us late)",
        [](const Figures& f) { return percentile(f.releaseErrUs, 100); }, "%.0f");
    row(
        "RTS release min (us late)",
        [](const Figures& f) {
            return f.releaseErrUs.empty()
                       ? 0.0
                       : *std::min_element(f.releaseErrUs.begin(), f.releaseErrUs.end());
        },
        "%.0f");
    row(
        "  bare waits alone p50 (us late)",
        [](const Figures& f) { return percentile(f.floorErrUs, 50); }, "%.0f");
    row(
        "  bare waits alone p99 (us late)",
        [](const Figures& f) { return percentile(f.floorErrUs, 99); }, "%.0f");
    row(
        "waits returned early", [](const Figures& f) { return f.early; }, "%d");
    row(
        "screen stall p99 (ms, probe pass)",
        [](const Figures& f) { return percentile(f.stallsMs, 99); }, "%.2f");
    row(
        "screen stall max (ms, probe pass)",
        [](const Figures& f) { return percentile(f.stallsMs, 100); }, "%.2f");
    row(
        "stall probe's own CPU (% of a core)", [](const Figures& f) { return f.probeCpuPercent; },
        "%.2f");
    if (!charts)
        std::printf(
            "fixed: 4 ms key + 12 bytes + turnaround + first reply byte + 100 ms; frame-complete: "
            "... + 14 reply bytes + 3.5 characters.\n"
            "The last column polls frame-complete with the traffic window open, filled to its "
            "%d-row "
            "bound.\nThe simulated detector runs on the line worker's thread; its time is measured "
            "inside it and\ntaken out of the worker's and the process's figures. Wakeups are "
            "voluntary context switches.\nThe bare waits are the release's two waits (to the "
            "request's end, then the turnaround)\non a thread of their own after each mode: the "
            "machine's own wake-up lateness, its floor.\n",
            TrafficModel::DefaultMaxRows);
    if (charts)
        std::printf("--chart: read inputs (15 registers), fixed window; refresh rate with the "
                    "chart %+.2f %% of the rate without.\n",
                    100.0 * (modes[1].rate() - modes[0].rate()) / modes[0].rate());
    return 0;
}
