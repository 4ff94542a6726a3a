// Locks on Linux: the standard library's, built in place.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/Mutex.h"
#include "platform/RecursiveLock.h"

namespace platform {

namespace {
template <typename T> T& as(SystemObject& object) { return systemObjectAs<T>(object); }
} // namespace

Mutex::Mutex() { new (system_.bytes) std::mutex(); }
Mutex::~Mutex() { as<std::mutex>(system_).~mutex(); }
void Mutex::lock() { as<std::mutex>(system_).lock(); }
void Mutex::unlock() { as<std::mutex>(system_).unlock(); }

Condition::Condition() { new (system_.bytes) std::condition_variable(); }
Condition::~Condition() { as<std::condition_variable>(system_).~condition_variable(); }

void Condition::wait(MutexLock& lock) {
    std::unique_lock<std::mutex> held(as<std::mutex>(lock.mutex().system_), std::adopt_lock);
    as<std::condition_variable>(system_).wait(held);
    held.release();
}

bool Condition::waitFor(MutexLock& lock, uint32_t milliseconds) {
    std::unique_lock<std::mutex> held(as<std::mutex>(lock.mutex().system_), std::adopt_lock);
    const auto status = as<std::condition_variable>(system_).wait_for(held, std::chrono::milliseconds(milliseconds));
    held.release();
    return status == std::cv_status::no_timeout;
}

void Condition::notifyAll() { as<std::condition_variable>(system_).notify_all(); }

uint64_t Condition::monotonicMs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

RecursiveLock::RecursiveLock() { new (system_.bytes) std::recursive_mutex(); }
RecursiveLock::~RecursiveLock() { as<std::recursive_mutex>(system_).~recursive_mutex(); }
void RecursiveLock::lock() { as<std::recursive_mutex>(system_).lock(); }
bool RecursiveLock::tryLock() { return as<std::recursive_mutex>(system_).try_lock(); }
void RecursiveLock::unlock() { as<std::recursive_mutex>(system_).unlock(); }

} // namespace platform
