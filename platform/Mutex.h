#pragma once
// Locks and conditions from the system: a plain lock clang's thread-safety
// analysis follows (a field marked GUARDED_BY(lock) may be touched only
// while lock is held, and a function marked REQUIRES(lock) only called so;
// GCC compiles the marks away), and a condition to wait on under it.
// Each backend holds the system's own object in place, so taking a lock
// never allocates; on Windows no threading library is involved, so a DLL
// unloaded leaves nothing of its locks behind.
#include <cstdint>

#include "platform/SystemObject.h"

#if defined(__clang__)
#define TD_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define TD_THREAD_ATTRIBUTE(x)
#endif
#define CAPABILITY(name) TD_THREAD_ATTRIBUTE(capability(name))
#define SCOPED_CAPABILITY TD_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(lock) TD_THREAD_ATTRIBUTE(guarded_by(lock))
#define REQUIRES(...) TD_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TD_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TD_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TD_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))

namespace platform {

class CAPABILITY("mutex") Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock() ACQUIRE();
    void unlock() RELEASE();

private:
    friend class Condition;
    SystemObject system_;
};

class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() {
        if (held_) mutex_.unlock();
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
    // Lets go for a while (a call that must not hold it), and takes it again.
    void unlock() RELEASE() {
        mutex_.unlock();
        held_ = false;
    }
    void lock() ACQUIRE() {
        mutex_.lock();
        held_ = true;
    }
    Mutex& mutex() { return mutex_; }

private:
    Mutex& mutex_;
    bool held_ = true;
};

// Waits under a Mutex for another thread's notify. Waits may end without a
// notify: callers wait for a predicate.
class Condition {
public:
    Condition();
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;

    // The lock is held on entry and again on return.
    void wait(MutexLock& lock);
    // False when milliseconds passed first.
    bool waitFor(MutexLock& lock, uint32_t milliseconds);
    template <typename Predicate> void wait(MutexLock& lock, Predicate done) {
        while (!done()) wait(lock);
    }
    // Whether done() came true within milliseconds.
    template <typename Predicate> bool waitFor(MutexLock& lock, uint32_t milliseconds, Predicate done) {
        const uint64_t until = monotonicMs() + milliseconds;
        while (!done()) {
            const uint64_t now = monotonicMs();
            if (now >= until) return done();
            waitFor(lock, static_cast<uint32_t>(until - now));
        }
        return true;
    }
    void notifyAll();

private:
    static uint64_t monotonicMs();
    SystemObject system_;
};

} // namespace platform
