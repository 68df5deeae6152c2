#pragma once
// What the kernel counts for the threads of a process: CPU time (schedstat, nanoseconds) and
// voluntary context switches (each one a wait that ended in sleep, so a wakeup), by thread.
// Shared by the benchmarks; they read their own process or the programs they start.
#include <QDir>
#include <QFile>
#include <QString>
#include <vector>

namespace fh::bench {

struct ThreadStat {
    qint64 tid = 0;
    QString name;         // the thread's name (comm)
    qint64 cpuNs = 0;     // time on a CPU
    qint64 voluntary = 0; // voluntary context switches
};

inline QByteArray readProcFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline ThreadStat threadStat(qint64 pid, qint64 tid) {
    const QString dir = QStringLiteral("/proc/%1/task/%2/").arg(pid).arg(tid);
    ThreadStat s;
    s.tid = tid;
    s.name = QString::fromLocal8Bit(readProcFile(dir + "comm")).trimmed();
    s.cpuNs = readProcFile(dir + "schedstat").split(' ').value(0).toLongLong();
    for (const QByteArray& line : readProcFile(dir + "status").split('\n'))
        if (line.startsWith("voluntary_ctxt_switches:"))
            s.voluntary = line.mid(24).trimmed().toLongLong();
    return s;
}

// Every thread the process has now.
inline std::vector<ThreadStat> processThreads(qint64 pid) {
    std::vector<ThreadStat> out;
    const QStringList tids =
        QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& tid : tids)
        out.push_back(threadStat(pid, tid.toLongLong()));
    return out;
}

// A process's totals; threads that ended before the call are not in them, so callers take
// both readings while the threads they care about run.
struct ProcessStat {
    qint64 cpuNs = 0, voluntary = 0;
    std::vector<ThreadStat> threads;
};

inline ProcessStat processStat(qint64 pid) {
    ProcessStat p;
    p.threads = processThreads(pid);
    for (const ThreadStat& t : p.threads) {
        p.cpuNs += t.cpuNs;
        p.voluntary += t.voluntary;
    }
    return p;
}

// The change of one thread between two readings (0 when it is not in both).
inline ThreadStat threadDelta(const ProcessStat& before, const ProcessStat& after, qint64 tid) {
    ThreadStat d;
    d.tid = tid;
    for (const ThreadStat& a : after.threads) {
        if (a.tid != tid)
            continue;
        for (const ThreadStat& b : before.threads)
            if (b.tid == tid) {
                d.name = a.name;
                d.cpuNs = a.cpuNs - b.cpuNs;
                d.voluntary = a.voluntary - b.voluntary;
            }
    }
    return d;
}

// The load average over the last minute, as the kernel reports it.
inline double loadAverage() {
    return readProcFile(QStringLiteral("/proc/loadavg")).split(' ').value(0).toDouble();
}

} // namespace fh::bench
