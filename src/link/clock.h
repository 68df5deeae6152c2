#pragma once
// Time for the line: one monotonic microsecond clock that the worker, the ports and the
// simulated detectors share, so tests can swap in virtual time.
#include <atomic>
#include <QtGlobal>

namespace fh {

class WakeEvent;

class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds on a monotonic time line; never runs backwards.
    virtual qint64 nowUs() const = 0;
    // Returns at or after t, never before: true. Returns sooner only once wake (when given) is
    // raised: false.
    virtual bool sleepUntilUs(qint64 t, const WakeEvent* wake) = 0;
    void sleepUntilUs(qint64 t) { sleepUntilUs(t, nullptr); }
    void sleepUs(qint64 us) { sleepUntilUs(nowUs() + us, nullptr); }
    // True when the clock is the wall's own time, so waits for it may be left to the kernel
    // and to Qt's timers; any other clock is only read.
    virtual bool runsWithWall() const { return false; }
};

// Wall time (CLOCK_MONOTONIC). Every sleep is one wait in the kernel, which ends it at its
// deadline, or at once when the wake event is raised: nothing spins.
class SteadyClock final : public Clock {
public:
    qint64 nowUs() const override;
    using Clock::sleepUntilUs;
    bool sleepUntilUs(qint64 t, const WakeEvent* wake) override;
    bool runsWithWall() const override { return true; }
    static SteadyClock& instance();
};

// Time that moves only when somebody sleeps: every sleep jumps straight to its end.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(qint64 startUs = 1'000'000) : now_(startUs) {}
    qint64 nowUs() const override { return now_.load(); }
    using Clock::sleepUntilUs;
    bool sleepUntilUs(qint64 t, const WakeEvent* wake) override;
    void advanceUs(qint64 us) { now_ += us; }

private:
    std::atomic<qint64> now_;
};

#ifdef Q_OS_UNIX
// Waits in one ppoll for fd (when >= 0) to become readable, for wake, or for the steady clock
// to reach deadlineUs, whichever comes first; never ends before the deadline unless fd or wake
// is ready. Returns the revents of fd (0 when it did not wake the call), or -1 when the wake
// event ended it.
int PollUntil(int fd, qint64 deadlineUs, const WakeEvent* wake);
#endif

} // namespace fh
