// libFuzzer's side of one target; FH_FUZZ_TARGET names it.
#include "fuzzentries.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fh::fuzz::Entry entry = fh::fuzz::FindTarget(FH_FUZZ_TARGET);
    if (!entry) {
        std::fprintf(stderr, "no fuzz target %s\n", FH_FUZZ_TARGET);
        std::abort();
    }
    entry(data, size);
    return 0;
}
