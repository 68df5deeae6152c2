#pragma once
// The event that ends every wait of the line worker at once: raised when the worker is told
// to stop. It is a file descriptor, so a port waiting in the kernel for input or for a
// deadline waits for it in the same call and never has to look at a flag every so often.
#include <atomic>

namespace fh {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // Any thread. Stays raised until cleared.
    void raise();
    void clear();
    bool raised() const { return raised_.load(); }
    // Readable while raised; -1 where the system gives none (then waits look at raised()).
    int fd() const { return fd_; }

private:
    std::atomic<bool> raised_{false};
    int fd_ = -1;
};

} // namespace fh
