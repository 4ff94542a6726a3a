// Locks on Windows from the system itself: slim reader/writer locks, their
// condition variables and critical sections. None of them holds a handle:
// a DLL unloaded leaves nothing behind.
#include <windows.h>

#include <new>

#include "platform/Mutex.h"
#include "platform/RecursiveLock.h"

namespace platform {

namespace {
template <typename T> T& as(SystemObject& object) { return systemObjectAs<T>(object); }
} // namespace

Mutex::Mutex() { InitializeSRWLock(new (system_.bytes) SRWLOCK); }
Mutex::~Mutex() = default; // a slim lock holds nothing to give back
void Mutex::lock() { AcquireSRWLockExclusive(&as<SRWLOCK>(system_)); }
void Mutex::unlock() { ReleaseSRWLockExclusive(&as<SRWLOCK>(system_)); }

Condition::Condition() { InitializeConditionVariable(new (system_.bytes) CONDITION_VARIABLE); }
Condition::~Condition() = default;

void Condition::wait(MutexLock& lock) {
    SleepConditionVariableSRW(&as<CONDITION_VARIABLE>(system_), &as<SRWLOCK>(lock.mutex().system_), INFINITE, 0);
}

bool Condition::waitFor(MutexLock& lock, uint32_t milliseconds) {
    return SleepConditionVariableSRW(&as<CONDITION_VARIABLE>(system_), &as<SRWLOCK>(lock.mutex().system_),
                                     milliseconds, 0) != 0;
}

void Condition::notifyAll() { WakeAllConditionVariable(&as<CONDITION_VARIABLE>(system_)); }

uint64_t Condition::monotonicMs() { return GetTickCount64(); }

// Without debug information a critical section makes no event or record
// the system would have to be given back.
RecursiveLock::RecursiveLock() {
    InitializeCriticalSectionEx(new (system_.bytes) CRITICAL_SECTION, 0, CRITICAL_SECTION_NO_DEBUG_INFO);
}
RecursiveLock::~RecursiveLock() { DeleteCriticalSection(&as<CRITICAL_SECTION>(system_)); }
void RecursiveLock::lock() { EnterCriticalSection(&as<CRITICAL_SECTION>(system_)); }
bool RecursiveLock::tryLock() { return TryEnterCriticalSection(&as<CRITICAL_SECTION>(system_)) != 0; }
void RecursiveLock::unlock() { LeaveCriticalSection(&as<CRITICAL_SECTION>(system_)); }

} // namespace platform
