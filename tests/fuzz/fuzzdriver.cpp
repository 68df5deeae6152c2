// libFuzzer's side of one target; FH_FUZZ_TARGET names it.
#include "fuzzentries.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fh::fuzz::Entry entry = [] {
        const fh::fuzz::Entry e = fh::fuzz::FindTarget(FH_FUZZ_TARGET);
        if (!e) {
            std::fprintf(stderr, "no fuzz target %s\n", FH_FUZZ_TARGET);
            std::abort();
        }
        return e;
    }();
    entry(data, size);
    return 0;
}
