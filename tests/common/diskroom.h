#pragma once
// A disk with little room left, for one call: no file may grow past `bytes` meanwhile (the
// write that would is refused, with EFBIG where a full disk gives ENOSPC).
#include <csignal>
#include <sys/resource.h>

namespace fh::test {

template <typename F> auto WithRoomFor(rlim_t bytes, F f) {
    rlimit before{};
    getrlimit(RLIMIT_FSIZE, &before);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit tight{bytes, before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &tight);
    const auto result = f();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    return result;
}

} // namespace fh::test
