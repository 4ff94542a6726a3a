#pragma once
// A lock that the thread holding it may take again, as the critical sections
// the sources were designed around allow.
#include <mutex>

namespace platform {

class RecursiveLock {
public:
    void lock() { mutex_.lock(); }
    bool tryLock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

class ScopedLock {
public:
    explicit ScopedLock(RecursiveLock& lock) : lock_(lock) { lock_.lock(); }
    ~ScopedLock() { lock_.unlock(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    RecursiveLock& lock_;
};

} // namespace platform
