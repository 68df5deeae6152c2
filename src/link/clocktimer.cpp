#include "link/clocktimer.h"

#include <QTimer>

namespace fh {

namespace {
// How often a timer on a clock other than the wall looks whether its deadline has come.
constexpr int CheckMs = 1;
} // namespace

ClockTimer::ClockTimer(Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock), timer_(new QTimer(this)) {
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &ClockTimer::tick);
}

void ClockTimer::start(int ms) {
    intervalMs_ = ms;
    start();
}

void ClockTimer::start() {
    active_ = true;
    dueUs_ = clock_.nowUs() + qint64(intervalMs_) * 1000;
    timer_->start(clock_.runsWithWall() ? intervalMs_ : CheckMs);
}

void ClockTimer::stop() {
    active_ = false;
    timer_->stop();
}

void ClockTimer::tick() {
    if (!active_)
        return;
    if (!clock_.runsWithWall()) {
        const qint64 now = clock_.nowUs();
        if (now < dueUs_)
            return;
        // A clock that jumped past several periods fires once, as a late QTimer does.
        dueUs_ = std::max(dueUs_ + qint64(intervalMs_) * 1000, now + 1);
    }
    if (singleShot_)
        stop();
    emit timeout();
}

} // namespace fh
