#pragma once
// Entry points shared by the libFuzzer targets and the corpus replay test: each takes one
// input and aborts when a property that must hold for every input is broken.
#include <cstddef>
#include <cstdint>
#include <span>

namespace fh::fuzz {

using Entry = void (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name; // also the folder under tests/fuzz/corpus/
    Entry entry;
};

// Every target, in a fixed order.
std::span<const Target> Targets();
// The target of that name, or nullptr.
Entry FindTarget(const char* name);

} // namespace fh::fuzz
