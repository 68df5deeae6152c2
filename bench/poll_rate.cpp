// Polls one simulated detector on the virtual line in real time and prints how close the
// poll rate comes to the line's own limit, what it costs in CPU, how exactly the line is
// released after each request, and how long the screen thread ever waits: with the fixed
// collection window, with frame-complete collection, and with the traffic window's model on.
// With --chart: the maintenance refresh (read inputs) without and with the readings chart
// open, filled with an hour of readings and drawing the 15-minute window.
#include "detector/maintenance.h"
#include "detector/models.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/virtualport.h"
#include "screens/charts/readingschart.h"
#include "screens/prompts/qtprompts.h"
#include "screens/traffic/trafficmodel.h"
#include "sim/simbus.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <QApplication>
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

struct Figures {
    int polls = 0, good = 0;
    double elapsed = 0, cpu = 0, ideal = 0;
    std::vector<double> releaseErrUs, stallsMs;
    int early = 0;
    double rate() const { return polls / elapsed; }
};

// One mode for `seconds`: fixed window or frame-complete collection, with or without the
// traffic window's model attached (filled to its bound first, so every frame drops a row).
Figures run(QCoreApplication& app, int seconds, bool fast, bool window, bool refresh = false,
            ReadingsChart* chart = nullptr) {
    const int turnaround = 4000;
    Figures f;
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
        std::exit(2);
    }
    std::unique_ptr<TrafficModel> model;
    const QByteArray status = QByteArray::fromHex("01C8070020D15B040503BD27");
    if (window) {
        model = std::make_unique<TrafficModel>(clock.nowUs());
        for (int i = 0; i < TrafficModel::DefaultMaxRows; ++i)
            model->add(Traffic::sent(clock.nowUs(), status));
        QObject::connect(&worker, &LineWorker::traffic, model.get(), &TrafficModel::add);
    }
    MaintenanceReadings readings;
    QObject::connect(&worker, &LineWorker::cycleDone, &app, [&](const Exchange& x) {
        ++f.polls;
        f.good += x.answered && x.reply.size() >= 12;
        if (!chart)
            return;
        // What the maintenance screen does with a refresh, as far as the chart goes.
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
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        if (sinceTick.isValid())
            f.stallsMs.push_back(std::max(0.0, sinceTick.nsecsElapsed() / 1e6 - 10.0));
        sinceTick.restart();
    });

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    Transaction poll{Pattern::Poll,
                     refresh ? ReadInputs(1, InputRegisterCount(model::ZorvanA2)) : status};
    poll.fastReply = fast;
    worker.setCycle(poll);
    tick.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    worker.setCycle(std::nullopt);
    f.elapsed = wall.nsecsElapsed() / 1e9;
    f.cpu = cpuSeconds() - cpu0;
    const auto events = port->events();
    worker.stop();
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
    // (The read-inputs request is 8 bytes without the 4 ms key-up: its figure is only compared.)
    f.ideal = 1000.0 / (fast ? request + 14 * byteMs + 3.5 * byteMs : request + byteMs + 100.0);
    return f;
}

} // namespace

int chartModes(int argc, char** argv, int seconds) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Figures without = run(app, seconds, false, false, true);
    QtPrompts prompts;
    ReadingsChart chart(SteadyClock::instance(), prompts, QString());
    chart.resize(520, 380);
    chart.show();
    // An hour of readings already taken, and the widest window: the most the chart draws.
    for (int i = 0; i < ReadingsSeries::MaxSamples; ++i)
        chart.addReading({float(i % 977), 2, 3, 4, 5, 6});
    chart.setWindowMinutes(15);
    const Figures with = run(app, seconds, false, false, true, &chart);
    std::printf("poll_rate --chart: %d s per mode, maintenance refresh (15 registers) on the "
                "virtual line\n",
                seconds);
    std::printf("%-26s %16s %16s\n", "", "refresh", "refresh + chart");
    std::printf("%-26s %16d %16d\n", "refreshes", without.polls, with.polls);
    std::printf("%-26s %16.3f %16.3f\n", "refreshes per second", without.rate(), with.rate());
    std::printf("%-26s %16.2f %16.2f\n", "CPU % of one core", 100.0 * without.cpu / without.elapsed,
                100.0 * with.cpu / with.elapsed);
    std::printf("%-26s %16.2f %16.2f\n", "screen stall p99 (ms)", percentile(without.stallsMs, 99),
                percentile(with.stallsMs, 99));
    std::printf("%-26s %16.2f %16.2f\n", "screen stall max (ms)", percentile(without.stallsMs, 100),
                percentile(with.stallsMs, 100));
    std::printf("rate with the chart: %+.2f %% of the rate without\n",
                100.0 * (with.rate() - without.rate()) / without.rate());
    return 0;
}

int main(int argc, char** argv) {
    int seconds = 20;
    bool chart = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--chart") == 0)
            chart = true;
        else
            seconds = std::max(1, atoi(argv[i]));
    }
    if (chart)
        return chartModes(argc, argv, seconds);
    QCoreApplication app(argc, argv);
    const Figures modes[] = {run(app, seconds, false, false), run(app, seconds, true, false),
                             run(app, seconds, false, true)};

    std::printf("poll_rate: %d s per mode on the virtual line, TurnaroundDelay 4000 us\n", seconds);
    std::printf("%-26s %16s %16s %16s\n", "", "fixed 100 ms", "frame-complete", "fixed + traffic");
    auto row = [&](const char* name, auto value, const char* format) {
        std::printf("%-26s", name);
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
        "CPU % of one core", [](const Figures& f) { return 100.0 * f.cpu / f.elapsed; }, "%.2f");
    row(
        "CPU per poll (ms)", [](const Figures& f) { return 1000.0 * f.cpu / std::max(1, f.polls); },
        "%.3f");
    row(
        "RTS release p50 (us)", [](const Figures& f) { return percentile(f.releaseErrUs, 50); },
        "%.0f");
    row(
        "RTS release p99 (us)", [](const Figures& f) { return percentile(f.releaseErrUs, 99); },
        "%.0f");
    row(
        "RTS release max (us)", [](const Figures& f) { return percentile(f.releaseErrUs, 100); },
        "%.0f");
    row(
        "RTS release min (us)",
        [](const Figures& f) {
            return f.releaseErrUs.empty()
                       ? 0.0
                       : *std::min_element(f.releaseErrUs.begin(), f.releaseErrUs.end());
        },
        "%.0f");
    row(
        "waits returned early", [](const Figures& f) { return f.early; }, "%d");
    row(
        "screen stall p99 (ms)", [](const Figures& f) { return percentile(f.stallsMs, 99); },
        "%.2f");
    row(
        "screen stall max (ms)", [](const Figures& f) { return percentile(f.stallsMs, 100); },
        "%.2f");
    std::printf("fixed: 4 ms key + 12 bytes + turnaround + first reply byte + 100 ms; "
                "frame-complete: ... + 14 reply bytes + 3.5 characters.\n"
                "The traffic column runs with the traffic window's model attached, filled to "
                "its %d-row bound.\n",
                TrafficModel::DefaultMaxRows);
    return 0;
}
