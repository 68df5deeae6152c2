#include "link/wakeevent.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace fh {

WakeEvent::WakeEvent() {
#ifdef Q_OS_LINUX
    fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
#endif
}

WakeEvent::~WakeEvent() {
#ifdef Q_OS_LINUX
    if (fd_ >= 0)
        ::close(fd_);
#endif
}

void WakeEvent::raise() {
    if (raised_.exchange(true))
        return;
#ifdef Q_OS_LINUX
    const quint64 one = 1;
    [[maybe_unused]] const auto n = ::write(fd_, &one, sizeof one);
#endif
}

void WakeEvent::clear() {
    if (!raised_.exchange(false))
        return;
#ifdef Q_OS_LINUX
    quint64 count = 0;
    [[maybe_unused]] const auto n = ::read(fd_, &count, sizeof count);
#endif
}

} // namespace fh
