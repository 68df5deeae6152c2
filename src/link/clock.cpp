#include "link/clock.h"

#include "link/wakeevent.h"

#include <algorithm>
#include <chrono>
#include <thread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <poll.h>
#include <time.h>
#endif

namespace fh {

qint64 SteadyClock::nowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

#ifdef Q_OS_UNIX
int PollUntil(int fd, qint64 deadlineUs, const WakeEvent* wake) {
    SteadyClock& clock = SteadyClock::instance();
    pollfd fds[2];
    nfds_t n = 0;
    if (fd >= 0)
        fds[n++] = {fd, POLLIN, 0};
    const int wakeAt = int(n);
    if (wake && wake->fd() >= 0)
        fds[n++] = {wake->fd(), POLLIN, 0};
    for (;;) {
        if (wake && wake->raised())
            return -1;
        // The kernel times the wait from its own entry, on the same monotonic clock, so it
        // cannot end before the deadline; a signal or a spurious return just waits again.
        const qint64 left = std::max<qint64>(0, deadlineUs - clock.nowUs());
        const timespec ts{static_cast<time_t>(left / 1'000'000),
                          static_cast<long>(left % 1'000'000) * 1000};
        const int rc = ::ppoll(fds, n, &ts, nullptr);
        if (rc > 0) {
            if (fd >= 0 && fds[0].revents != 0)
                return fds[0].revents;
            if (wakeAt < int(n) && fds[wakeAt].revents != 0)
                return -1;
        }
        if (rc < 0 && errno != EINTR && errno != EAGAIN) {
            // Nothing sensible to wait on (out of memory): still never end before the deadline.
            while (clock.nowUs() < deadlineUs)
                std::this_thread::sleep_for(std::chrono::microseconds(deadlineUs - clock.nowUs()));
            return 0;
        }
        if (left == 0 || clock.nowUs() >= deadlineUs)
            return 0;
    }
}
#endif

bool SteadyClock::sleepUntilUs(qint64 t, const WakeEvent* wake) {
#ifdef Q_OS_UNIX
    if (PollUntil(-1, t, wake) < 0)
        return false;
#else
    while (nowUs() < t) {
        if (wake && wake->raised())
            return false;
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::min<qint64>(t - nowUs(), 50'000)));
    }
#endif
    return true;
}

SteadyClock& SteadyClock::instance() {
    static SteadyClock clock;
    return clock;
}

bool VirtualClock::sleepUntilUs(qint64 t, const WakeEvent* wake) {
    if (wake && wake->raised())
        return false;
    qint64 cur = now_.load();
    while (cur < t && !now_.compare_exchange_weak(cur, t)) {
    }
    return true;
}

} // namespace fh
