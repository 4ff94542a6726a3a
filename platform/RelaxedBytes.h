#pragma once
// Bytes that one thread writes while others read them, such as the overview
// picture a loader draws while the GUI thread shows it and the store copies
// it. Every access is a relaxed atomic byte access (a plain byte move on the
// machine): a picture may be torn for a moment, and the next refresh mends
// it, but no access races.
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace relaxedBytes {

inline void store(uint8_t* at, uint8_t value) { std::atomic_ref<uint8_t>(*at).store(value, std::memory_order_relaxed); }

inline uint8_t load(const uint8_t* at) {
    return std::atomic_ref<uint8_t>(*const_cast<uint8_t*>(at)).load(std::memory_order_relaxed);
}

inline void fill(uint8_t* at, uint8_t value, size_t count) {
    for (size_t i = 0; i < count; ++i) store(at + i, value);
}

// From or to memory no other thread touches.
inline void copyIn(uint8_t* shared, const uint8_t* source, size_t count) {
    for (size_t i = 0; i < count; ++i) store(shared + i, source[i]);
}

inline void copyOut(uint8_t* target, const uint8_t* shared, size_t count) {
    for (size_t i = 0; i < count; ++i) target[i] = load(shared + i);
}

} // namespace relaxedBytes
