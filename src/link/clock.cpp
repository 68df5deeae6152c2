#include "link/clock.h"

#include <chrono>
#include <thread>

namespace fh {

qint64 SteadyClock::nowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SteadyClock::sleepUntilUs(qint64 t) {
    const qint64 left = t - nowUs();
    if (left > SpinUs)
        std::this_thread::sleep_for(std::chrono::microseconds(left - SpinUs));
    while (nowUs() < t) {
        // the last stretch: spin, the scheduler would wake us too late
    }
}

SteadyClock& SteadyClock::instance() {
    static SteadyClock clock;
    return clock;
}

void VirtualClock::sleepUntilUs(qint64 t) {
    qint64 cur = now_.load();
    while (cur < t && !now_.compare_exchange_weak(cur, t)) {
    }
}

} // namespace fh
