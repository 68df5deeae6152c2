#pragma once
// Two pseudo-terminals joined back to back by socat, for tests that need a serial line
// between two programs.
#include "support/readuntil.h"

#include <QRegularExpression>
#include <QStringList>

namespace fh::test {

class PtyPair {
public:
    PtyPair() {
        socat_.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
        if (!socat_.waitForStarted(5000))
            return;
        // Each device comes on a line of its own, "... PTY is /dev/pts/N".
        const QByteArray err = ReadUntil(socat_, QProcess::StandardError, [](const QByteArray& e) {
            return e.count("PTY is") >= 2 && e.endsWith('\n');
        });
        const QRegularExpression device(QStringLiteral("PTY is (\\S+)"));
        for (auto it = device.globalMatch(QString::fromLocal8Bit(err)); it.hasNext();)
            paths_ << it.next().captured(1);
    }
    ~PtyPair() {
        socat_.terminate();
        socat_.waitForFinished(2000);
    }
    bool ok() const { return paths_.size() >= 2; }
    QString a() const { return paths_.value(0); }
    QString b() const { return paths_.value(1); }

private:
    QProcess socat_;
    QStringList paths_;
};

} // namespace fh::test
