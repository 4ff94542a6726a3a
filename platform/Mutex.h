#pragma once
// A lock clang's thread-safety analysis follows: a field marked
// GUARDED_BY(lock) may be touched only while lock is held, and a function
// marked REQUIRES(lock) only called so. GCC compiles the marks away.
#include <mutex>

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
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};

} // namespace platform
