#pragma once
// flamehost-sim as a child process: started with its arguments, its device path read from
// the first line it prints, and (with --trace) the requests it heard.
#include "support/readuntil.h"

#include <QCoreApplication>
#include <QStringList>

namespace fh::test {

class SimProcess {
public:
    explicit SimProcess(QStringList args = {}) {
        proc_.start(QStringLiteral(FH_BIN_DIR "/flamehost-sim"), args);
        if (!proc_.waitForStarted(5000))
            return;
        const QByteArray out = ReadUntil(proc_, QProcess::StandardOutput,
                                         [](const QByteArray& o) { return o.contains('\n'); });
        device_ = QString::fromLocal8Bit(out.left(out.indexOf('\n'))).trimmed();
    }
    ~SimProcess() { stop(); }
    void stop() { // nothing when it has stopped already
        proc_.terminate();
        proc_.waitForFinished(5000);
    }
    bool ok() const { return !device_.isEmpty(); }
    QString device() const { return device_; }
    // The "request <hex>" lines printed so far.
    QStringList requests() {
        QCoreApplication::processEvents(); // takes in what the pipe holds by now
        err_ += proc_.readAllStandardError();
        QStringList out;
        for (const QByteArray& line : err_.split('\n'))
            if (line.startsWith("request "))
                out << QString::fromLatin1(line.mid(8)).trimmed();
        return out;
    }

private:
    QProcess proc_;
    QByteArray err_;
    QString device_;
};

} // namespace fh::test
