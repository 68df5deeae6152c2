#pragma once
// What a child process writes on one channel, read until the test has what it waits for.
#include <functional>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>

namespace fh::test {

// Everything read from `channel` once `done` holds for it, or after five seconds.
inline QByteArray ReadUntil(QProcess& process, QProcess::ProcessChannel channel,
                            const std::function<bool(const QByteArray&)>& done) {
    QByteArray got;
    const QDeadlineTimer deadline(5000);
    process.setReadChannel(channel);
    while (!done(got) && !deadline.hasExpired()) {
        process.waitForReadyRead(50);
        got += process.readAll();
    }
    return got;
}

} // namespace fh::test
