// What every fuzz target uses: a check that stops the run on a broken property, and the
// input as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Stops the fuzzer with a crash report when a property does not hold.
inline void require(bool condition) {
    if (!condition) __builtin_trap();
}

inline std::string input_text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}
