// What one poll costs the machine, measured on the programs themselves: flamehost's main
// screen (offscreen, --port, fixed reply window) polling flamehost-sim on a pseudo-terminal,
// and in the same run mbpoll, a C Modbus master, reading one register every 100 ms from a
// flamehost-sim of its own. Per poll: CPU (every thread, from the kernel's schedstat), wakeups
// (voluntary context switches of every thread) and system calls (strace -c -f, in a window
// of its own, since tracing slows what it traces). Then the same for a detector that never
// answers, and flamehost with its port unplugged. Given a second build's programs, it measures
// them side by side in the same windows, so a change is compared under the same load.
//
// Last, each build's poll_rate (beside its programs) gives the figures only the virtual line
// shows: the rate against the line's limit in both window modes, the RTS release, and the
// CPU per poll with the traffic window open.
//
//   lean [SECONDS [RUNS [BIN_DIR [BEFORE_BIN_DIR]]]]   defaults: 10 s, 3 runs, ../bin, none
#include "procstats.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

using namespace fh::bench;

namespace {

QString simDir; // every program is fed by the same simulator build
QTemporaryDir work;

QString workFile(const QString& name) {
    return work.filePath(name);
}

// A simulated bus on a pty that writes every request it hears to a file.
struct Sim {
    QProcess proc;
    QString device, trace;
    bool start(const QString& name, const QStringList& extra = {}) {
        trace = workFile(name + ".trace");
        proc.setStandardErrorFile(trace);
        proc.start(simDir + "/flamehost-sim", QStringList{"--trace"} + extra);
        if (!proc.waitForStarted(5000) || !proc.waitForReadyRead(5000))
            return false;
        device = QString::fromLocal8Bit(proc.readLine()).trimmed();
        return device.startsWith('/');
    }
    qint64 requests() const {
        QFile f(trace);
        return f.open(QIODevice::ReadOnly) ? f.readAll().count("request ") : 0;
    }
    ~Sim() {
        proc.terminate();
        proc.waitForFinished(5000);
    }
};

// A program under measurement, fed by its own simulator: a flamehost build (bin set) or mbpoll.
struct Target {
    Target(QString n, QString b) : name(std::move(n)), bin(std::move(b)) {}
    QString name, bin;
    Sim sim;
    QProcess proc;
    QTemporaryDir data;
    qint64 pid() const { return proc.processId(); }
    bool start(const QString& tag, const QStringList& simArgs) {
        if (!sim.start(name + "-" + tag, simArgs))
            return false;
        return bin.isEmpty() ? startMbpoll() : startFlamehost();
    }
    bool startFlamehost() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen"); // as measured in the field: no display
        proc.setProcessEnvironment(env);
        proc.setStandardOutputFile(QProcess::nullDevice());
        proc.setStandardErrorFile(QProcess::nullDevice());
        proc.start(bin + "/flamehost",
                   {"--port", sim.device, "--no-splash", "--data-dir", data.path()});
        return proc.waitForStarted(5000);
    }
    bool startMbpoll() {
        proc.setStandardOutputFile(QProcess::nullDevice());
        proc.setStandardErrorFile(QProcess::nullDevice());
        // One holding register (register 1, the setup) of address 1 every 100 ms, 9600 8N1,
        // 0.6 s time-out: what flamehost's main screen asks in its status poll.
        proc.start("mbpoll", {"-m", "rtu", "-b", "9600", "-P", "none", "-a", "1", "-r", "2", "-t",
                              "4", "-c", "1", "-l", "100", "-o", "0.6", sim.device});
        return proc.waitForStarted(5000);
    }
    ~Target() {
        proc.terminate();
        proc.waitForFinished(5000);
    }
};

struct Sample {
    double cpuMsPerPoll = 0, wakeupsPerPoll = 0, pollsPerSecond = 0;
    std::map<QString, double> threadCpuMsPerPoll; // by thread name
    double wakeupsPerSecond = 0, cpuMsPerSecond = 0;
};

// CPU and wakeups of every target over the same `seconds`.
std::vector<Sample> measure(std::vector<Target*> targets, int seconds) {
    std::vector<ProcessStat> before;
    std::vector<qint64> polls;
    for (Target* t : targets) {
        before.push_back(processStat(t->pid()));
        polls.push_back(t->sim.requests());
    }
    QElapsedTimer wall;
    wall.start();
    QThread::msleep(qint64(seconds) * 1000);
    const double elapsed = wall.nsecsElapsed() / 1e9;
    std::vector<Sample> out;
    for (size_t i = 0; i < targets.size(); ++i) {
        const ProcessStat after = processStat(targets[i]->pid());
        const double n = std::max<qint64>(1, targets[i]->sim.requests() - polls[i]);
        Sample s;
        s.cpuMsPerPoll = (after.cpuNs - before[i].cpuNs) / 1e6 / n;
        s.wakeupsPerPoll = (after.voluntary - before[i].voluntary) / n;
        s.pollsPerSecond = n / elapsed;
        s.cpuMsPerSecond = (after.cpuNs - before[i].cpuNs) / 1e6 / elapsed;
        s.wakeupsPerSecond = (after.voluntary - before[i].voluntary) / elapsed;
        for (const ThreadStat& th : after.threads)
            s.threadCpuMsPerPoll[th.name] += threadDelta(before[i], after, th.tid).cpuNs / 1e6 / n;
        out.push_back(s);
    }
    return out;
}

struct SyscallSample {
    double perPoll = 0;
    std::map<QString, double> byName; // per poll
};

// System calls of every thread of each target, counted by strace over the same `seconds`.
std::vector<SyscallSample> countSyscalls(std::vector<Target*> targets, int seconds,
                                         const QString& only = {}) {
    std::vector<std::unique_ptr<QProcess>> straces;
    std::vector<qint64> polls;
    std::vector<QString> files;
    for (Target* t : targets) {
        files.push_back(workFile(t->name + ".strace"));
        QFile::remove(files.back());
        auto s = std::make_unique<QProcess>();
        s->setStandardErrorFile(QProcess::nullDevice());
        QStringList args{"-f", "-c", "-q", "-o", files.back(), "-p", QString::number(t->pid())};
        if (!only.isEmpty())
            args << "-e" << ("trace=" + only);
        polls.push_back(t->sim.requests());
        s->start("strace", args);
        s->waitForStarted(5000);
        straces.push_back(std::move(s));
    }
    QThread::msleep(qint64(seconds) * 1000);
    std::vector<SyscallSample> out;
    for (size_t i = 0; i < targets.size(); ++i) {
        ::kill(pid_t(straces[i]->processId()), SIGINT);
        straces[i]->waitForFinished(10000);
        const double n = std::max<qint64>(1, targets[i]->sim.requests() - polls[i]);
        SyscallSample s;
        QFile f(files[i]);
        f.open(QIODevice::ReadOnly);
        // "% time  seconds  usecs/call  calls  [errors]  syscall": calls is the fourth field.
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> w = line.simplified().split(' ');
            if (w.size() < 5 || !w[0].contains('.'))
                continue;
            const double calls = w[3].toDouble() / n;
            if (w.last() == "total")
                s.perPoll = calls;
            else
                s.byName[QString::fromLatin1(w.last())] = calls;
        }
        out.push_back(s);
    }
    return out;
}

QString range(std::vector<double> v, const char* format) {
    if (v.empty())
        return QStringLiteral("-");
    std::sort(v.begin(), v.end());
    const QString lo = QString::asprintf(format, v.front());
    const QString hi = QString::asprintf(format, v.back());
    if (lo == hi)
        return lo;
    // One run the machine's host disturbed should not stand for the figure: the median leads.
    if (v.size() >= 3)
        return QString::asprintf(format, v[v.size() / 2]) + " (" + lo + '-' + hi + ')';
    return lo + QLatin1Char('-') + hi;
}

// The rows of one build's poll_rate run, by row name, one value per column (fixed,
// frame-complete, + traffic window). Empty when the bench is not beside the build's programs.
using RateRows = std::map<QString, std::vector<double>>;

RateRows runPollRate(const QString& bin, int seconds) {
    RateRows rows;
    const QString program = QDir(bin).filePath("../bench/poll_rate");
    if (!QFile::exists(program))
        return rows;
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, {QString::number(seconds)});
    p.waitForFinished(-1);
    // "name padded to 34 columns" then three cells.
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (line.size() < 40)
            continue;
        std::vector<double> cells;
        bool ok = true;
        for (const QByteArray& w : line.mid(34).simplified().split(' '))
            cells.push_back(w.toDouble(&ok));
        if (ok && cells.size() == 3)
            rows[QString::fromLatin1(line.left(34).trimmed())] = cells;
    }
    return rows;
}

QString cell(const RateRows& rows, const char* name, int column, const char* format) {
    const auto it = rows.find(QLatin1String(name));
    return it == rows.end() ? QStringLiteral("-") : QString::asprintf(format, it->second[column]);
}

// One column of the table: what was measured of one program.
struct Column {
    QString label;
    std::vector<Sample> answering, silent, unplugged;
    std::vector<SyscallSample> calls;
    std::vector<double> syncsPerHour;
    RateRows rate;
};

// Every target polls its own simulator over the same windows, `runs` times.
void measureAll(std::vector<std::unique_ptr<Target>>& targets, std::vector<Column*> cols,
                int seconds, int runs, bool syscalls, std::vector<Sample> Column::*into) {
    std::vector<Target*> live;
    std::vector<Column*> liveCols;
    for (size_t i = 0; i < targets.size(); ++i)
        if (targets[i]->pid() > 0) {
            live.push_back(targets[i].get());
            liveCols.push_back(cols[i]);
        }
    if (live.empty())
        return;
    QThread::sleep(3); // past the start-up and the first reply's settling
    for (int r = 0; r < runs; ++r) {
        const auto s = measure(live, seconds);
        for (size_t i = 0; i < live.size(); ++i)
            (liveCols[i]->*into).push_back(s[i]);
        if (!syscalls)
            continue;
        const auto c = countSyscalls(live, seconds);
        for (size_t i = 0; i < live.size(); ++i)
            liveCols[i]->calls.push_back(c[i]);
    }
}

template <typename Get> QString over(const std::vector<Sample>& samples, Get get, const char* f) {
    std::vector<double> v;
    for (const Sample& s : samples)
        v.push_back(get(s));
    return range(v, f);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 10;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const QString after = argc > 3
                              ? QString::fromLocal8Bit(argv[3])
                              : QDir(QCoreApplication::applicationDirPath()).filePath("../bin");
    const QString before = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString();
    simDir = after;
    const bool haveMbpoll = !QStandardPaths::findExecutable("mbpoll").isEmpty();
    const bool haveStrace = !QStandardPaths::findExecutable("strace").isEmpty();
    const double load0 = loadAverage();

    // The columns: before (when given), this build, mbpoll (when installed).
    std::vector<std::pair<QString, QString>> programs; // label, bin ("" for mbpoll)
    if (!before.isEmpty())
        programs.emplace_back("before", before);
    programs.emplace_back(before.isEmpty() ? "flamehost" : "after", after);
    if (haveMbpoll)
        programs.emplace_back("mbpoll", QString());
    std::vector<Column> cols(programs.size());
    std::vector<Column*> colPtrs;
    for (size_t i = 0; i < programs.size(); ++i) {
        cols[i].label = programs[i].first;
        colPtrs.push_back(&cols[i]);
    }
    auto targetsFor = [&](const QString& tag, const QStringList& simArgs) {
        std::vector<std::unique_ptr<Target>> t;
        t.reserve(programs.size());
        for (const auto& [label, bin] : programs)
            t.push_back(std::make_unique<Target>(label, bin));
        for (auto& x : t)
            if (!x->start(tag, simArgs))
                std::fprintf(stderr, "lean: cannot start %s and its simulator\n",
                             qPrintable(x->name));
        return t;
    };

    { // a detector that answers
        auto targets = targetsFor("answering", {});
        measureAll(targets, colPtrs, seconds, runs, haveStrace, &Column::answering);
    }
    { // a detector that never answers: the program's address is not on the bus
        const QString scenario = workFile("silent.json");
        QFile f(scenario);
        f.open(QIODevice::WriteOnly);
        f.write(R"({"detectors": [{"address": 2, "model": "Zorvan A2", "serial": 1}]})");
        f.close();
        auto targets = targetsFor("silent", {"--scenario", scenario});
        measureAll(targets, colPtrs, seconds, runs, false, &Column::silent);
    }
    // The port unplugged: each flamehost build with its device gone.
    for (size_t i = 0; i < programs.size(); ++i) {
        if (programs[i].second.isEmpty())
            continue;
        Target host(programs[i].first, programs[i].second);
        const QString link = workFile("ttyLEAN-" + programs[i].first);
        if (!host.sim.start(host.name + "-unplugged", {"--link", link}))
            continue;
        host.sim.device = link;
        if (!host.startFlamehost())
            continue;
        QThread::sleep(3);
        host.sim.proc.terminate(); // the adapter is pulled: the device goes away
        host.sim.proc.waitForFinished(5000);
        QFile::remove(link);
        QThread::sleep(2);
        for (int r = 0; r < runs; ++r) {
            cols[i].unplugged.push_back(measure({&host}, seconds)[0]);
            if (!haveStrace)
                continue;
            // countSyscalls divides by polls, of which there are none: by the hour.
            const auto c = countSyscalls({&host}, seconds, "fdatasync,fsync");
            double syncs = 0;
            for (const auto& [name, n] : c[0].byName)
                syncs += n;
            cols[i].syncsPerHour.push_back(syncs * 3600.0 / seconds);
        }
    }
    // Each build's own virtual-line figures, one build after the other.
    for (size_t i = 0; i < programs.size(); ++i)
        if (!programs[i].second.isEmpty())
            cols[i].rate = runPollRate(programs[i].second, seconds);

    std::printf("lean: %d runs of %d s per figure (the median, with min-max, over the runs); load "
                "average %.2f at "
                "the start, %.2f at the end\n",
                runs, seconds, load0, loadAverage());
    if (!before.isEmpty())
        std::printf("  before: programs from %s\n", qPrintable(QDir(before).canonicalPath()));
    std::printf("  %s: programs from %s\n", before.isEmpty() ? "flamehost" : "after",
                qPrintable(QDir(after).canonicalPath()));
    if (!haveMbpoll)
        std::printf("  mbpoll is not installed (scripts/setup.sh installs it): no C master "
                    "to compare with, its column is left out\n");
    if (!haveStrace)
        std::printf("  strace is not installed: no system-call counts\n");

    std::printf("  %-46s", "");
    for (const Column& c : cols)
        std::printf(" %22s", qPrintable(c.label));
    std::printf("  goal\n");
    auto row = [&](const char* name, auto value, const char* goal = "") {
        std::printf("  %-46s", name);
        for (const Column& c : cols)
            std::printf(" %22s", qPrintable(value(c)));
        std::printf("  %s\n", goal);
    };
    auto sampled = [&](const char* name, std::vector<Sample> Column::*from, auto get,
                       const char* format, const char* goal = "") {
        row(
            name, [&](const Column& c) { return over(c.*from, get, format); }, goal);
    };
    using S = const Sample&;
    sampled(
        "polls per second (fixed window)", &Column::answering, [](S s) { return s.pollsPerSecond; },
        "%.2f");
    sampled(
        "CPU per poll (ms)", &Column::answering, [](S s) { return s.cpuMsPerPoll; }, "%.3f",
        "<= 2x mbpoll");
    if (haveMbpoll) {
        const Column& mb = cols.back();
        row("  ratio to mbpoll (same window)", [&](const Column& c) {
            if (&c == &mb)
                return QString();
            std::vector<double> ratio;
            for (size_t i = 0; i < std::min(c.answering.size(), mb.answering.size()); ++i)
                ratio.push_back(c.answering[i].cpuMsPerPoll /
                                std::max(1e-9, mb.answering[i].cpuMsPerPoll));
            return range(ratio, "%.2fx");
        });
    }
    // CPU by thread, for the programs that have the thread.
    auto threadRows = [&](std::vector<Sample> Column::*from) {
        std::map<QString, bool> threadNames;
        for (const Column& c : cols)
            for (const Sample& s : c.*from)
                for (const auto& [name, ms] : s.threadCpuMsPerPoll)
                    threadNames[name] = true;
        for (const auto& [name, unused] : threadNames) {
            const QByteArray label = ("  thread " + name).toLocal8Bit();
            row(label.constData(), [&](const Column& c) {
                std::vector<double> v;
                for (const Sample& s : c.*from)
                    if (s.threadCpuMsPerPoll.count(name))
                        v.push_back(s.threadCpuMsPerPoll.at(name));
                return range(v, "%.3f");
            });
        }
    };
    threadRows(&Column::answering);
    sampled(
        "wakeups per poll, all threads", &Column::answering, [](S s) { return s.wakeupsPerPoll; },
        "%.2f", "<= 3");
    row(
        "system calls per poll",
        [](const Column& c) {
            std::vector<double> v;
            for (const SyscallSample& s : c.calls)
                v.push_back(s.perPoll);
            return range(v, "%.1f");
        },
        "<= 10");
    std::map<QString, bool> callNames;
    for (const Column& c : cols)
        if (!c.calls.empty())
            for (const auto& [name, n] : c.calls.back().byName)
                callNames[name] = true;
    for (const auto& [name, unused] : callNames) {
        const QByteArray label = ("  " + name + " (last run)").toLocal8Bit();
        row(label.constData(), [&](const Column& c) {
            if (c.calls.empty())
                return QStringLiteral("-");
            const auto& m = c.calls.back().byName;
            return QString::asprintf("%.2f", m.count(name) ? m.at(name) : 0.0);
        });
    }
    sampled(
        "silent detector: CPU per time-out (ms)", &Column::silent,
        [](S s) { return s.cpuMsPerPoll; }, "%.3f", "<= 0.3");
    threadRows(&Column::silent);
    sampled(
        "silent detector: wakeups per second", &Column::silent,
        [](S s) { return s.wakeupsPerSecond; }, "%.2f", "<= 5");
    sampled(
        "silent detector: time-outs per second", &Column::silent,
        [](S s) { return s.pollsPerSecond; }, "%.2f");
    row(
        "port unplugged: fdatasync/fsync per hour",
        [](const Column& c) { return range(c.syncsPerHour, "%.0f"); }, "none");
    sampled(
        "port unplugged: wakeups per second", &Column::unplugged,
        [](S s) { return s.wakeupsPerSecond; }, "%.2f");
    sampled(
        "port unplugged: CPU ms per second", &Column::unplugged,
        [](S s) { return s.cpuMsPerSecond; }, "%.3f");
    std::printf("  virtual line (each build's poll_rate, %d s per mode):\n", seconds);
    row(
        "rate, ratio to the limit %: fixed window",
        [](const Column& c) { return cell(c.rate, "ratio to the limit %", 0, "%.1f"); },
        "unchanged or better");
    row(
        "  frame-complete",
        [](const Column& c) { return cell(c.rate, "ratio to the limit %", 1, "%.1f"); },
        "unchanged or better");
    row(
        "traffic window open: CPU per poll (ms)",
        [](const Column& c) { return cell(c.rate, "whole process", 2, "%.3f"); }, "<= 1");
    row("  polls per second",
        [](const Column& c) { return cell(c.rate, "polls per second", 2, "%.1f"); });
    row("RTS release p50 (us late, fixed window)",
        [](const Column& c) { return cell(c.rate, "RTS release p50 (us late)", 0, "%.0f"); });
    row(
        "RTS release p99 (us late, fixed window)",
        [](const Column& c) { return cell(c.rate, "RTS release p99 (us late)", 0, "%.0f"); },
        "<= 500 (idle)");
    row(
        "  frame-complete p99",
        [](const Column& c) { return cell(c.rate, "RTS release p99 (us late)", 1, "%.0f"); },
        "<= 500 (idle)");
    row("  the bare waits alone p99, fixed",
        [](const Column& c) { return cell(c.rate, "bare waits alone p99 (us late)", 0, "%.0f"); });
    row("  the bare waits alone p99, frame-complete",
        [](const Column& c) { return cell(c.rate, "bare waits alone p99 (us late)", 1, "%.0f"); });
    row(
        "waits returned early (all modes)",
        [](const Column& c) {
            const auto it = c.rate.find(QStringLiteral("waits returned early"));
            return it == c.rate.end()
                       ? QStringLiteral("-")
                       : QString::number(it->second[0] + it->second[1] + it->second[2]);
        },
        "0");
    std::printf("  Polls are the requests each simulator heard. System calls come from a window "
                "of their own\n  under strace; CPU and wakeups from one without it. The RTS "
                "figures depend on the load:\n  the goal holds on an idle machine. The bare waits "
                "are the release's two waits on a "
                "thread\n  alone: the machine's own wake-up lateness, which no release can beat "
                "without spinning.\n");
    return 0;
}
