#pragma once
// Time for the line: one monotonic microsecond clock that the worker, the ports and the
// simulated detectors share, so tests can swap in virtual time.
#include <atomic>
#include <QtGlobal>

namespace fh {

class Clock {
public:
    virtual ~Clock() = default;
    // Microseconds on a monotonic time line; never runs backwards.
    virtual qint64 nowUs() const = 0;
    // Returns at or after t, never before.
    virtual void sleepUntilUs(qint64 t) = 0;
    void sleepUs(qint64 us) { sleepUntilUs(nowUs() + us); }
    // True when the clock is the wall's own time, so waits for it may be left to the kernel
    // and to Qt's timers; any other clock is only read.
    virtual bool runsWithWall() const { return false; }
};

// Wall time. Sleeps through the bulk of a wait and spins only its last stretch, so short
// waits are exact without burning a core.
class SteadyClock final : public Clock {
public:
    qint64 nowUs() const override;
    void sleepUntilUs(qint64 t) override;
    bool runsWithWall() const override { return true; }
    static SteadyClock& instance();
    // Length of the final busy stretch; the kernel's wake-up slack must fit in it.
    static constexpr qint64 SpinUs = 250;
};

// Time that moves only when somebody sleeps: every sleep jumps straight to its end.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(qint64 startUs = 1'000'000) : now_(startUs) {}
    qint64 nowUs() const override { return now_.load(); }
    void sleepUntilUs(qint64 t) override;
    void advanceUs(qint64 us) { now_ += us; }

private:
    std::atomic<qint64> now_;
};

} // namespace fh
