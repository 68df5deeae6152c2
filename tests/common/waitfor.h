#pragma once
// Runs the event loop until a condition holds, for at most a limit of wall time. It never
// sleeps: results on virtual time are taken as fast as they come.
#include <functional>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

namespace fh::test {

inline bool WaitFor(const std::function<bool()>& condition, int limitMs = 10000) {
    QDeadlineTimer deadline(limitMs);
    QTimer wake; // the loop wakes at least every millisecond, for the clock timers
    wake.start(1);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

} // namespace fh::test
