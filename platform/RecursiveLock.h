#pragma once
// A lock that the thread holding it may take again, as the critical sections
// the sources were designed around allow. The system's own object lives in
// place (no allocation when it is taken).
#include "platform/Mutex.h"

namespace platform {

class RecursiveLock {
public:
    RecursiveLock();
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;
    void lock();
    bool tryLock();
    void unlock();

private:
    SystemObject system_;
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
