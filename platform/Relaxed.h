#pragma once
// A word that one thread writes and another reads without a lock.
// Relaxed ordering costs the same as a plain load or store but keeps the
// access free of data races; use it only for values that stand on their own
// (no other memory is published through them).
#include <atomic>

template <typename T>
class Relaxed {
public:
    constexpr Relaxed() noexcept : value_(T{}) {}
    constexpr Relaxed(T v) noexcept : value_(v) {}
    Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
    Relaxed& operator=(const Relaxed& other) noexcept { store(other.load()); return *this; }
    Relaxed& operator=(T v) noexcept { store(v); return *this; }

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }
    operator T() const noexcept { return load(); }

    // Stores desired if the word still holds expected (a writer that must not
    // undo another thread's newer store); on failure expected gets the value.
    bool compareExchange(T& expected, T desired) noexcept {
        return value_.compare_exchange_strong(expected, desired, std::memory_order_relaxed);
    }

    // Read-modify-write from the single writer: not atomic as a whole, which is
    // fine because only one thread ever writes such a field.
    Relaxed& operator+=(T v) noexcept { store(load() + v); return *this; }
    Relaxed& operator-=(T v) noexcept { store(load() - v); return *this; }

private:
    std::atomic<T> value_;
    static_assert(std::atomic<T>::is_always_lock_free, "Relaxed<T> must be lock free");
};
