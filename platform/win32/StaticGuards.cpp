// The guards of function-local statics, made from the system's own slim
// lock and condition. The C++ runtime's own guards take MinGW's winpthreads,
// whose first use on a thread it did not make (the host's) keeps a handle
// to that thread and an event for good: a host that loads and unloads the
// DLL would gain both each time. These are the Itanium C++ ABI's three
// functions, found by the linker here before the runtime's.
#include <windows.h>

#include <cxxabi.h>

#include <atomic>
#include <cstdint>

namespace {
SRWLOCK guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE guardChanged = CONDITION_VARIABLE_INIT;

// The guard's first byte says the static is made (the compiler's inline
// check reads it); the second that a thread is making it.
using Guard = __cxxabiv1::__guard;
std::atomic_ref<uint8_t> made(Guard* guard) { return std::atomic_ref<uint8_t>(reinterpret_cast<uint8_t*>(guard)[0]); }
uint8_t& making(Guard* guard) { return reinterpret_cast<uint8_t*>(guard)[1]; }
} // namespace

extern "C" int __cxa_guard_acquire(Guard* guard) {
    if (made(guard).load(std::memory_order_acquire)) return 0;
    AcquireSRWLockExclusive(&guardLock);
    for (;;) {
        if (made(guard).load(std::memory_order_relaxed)) {
            ReleaseSRWLockExclusive(&guardLock);
            return 0;
        }
        if (!making(guard)) {
            making(guard) = 1;
            ReleaseSRWLockExclusive(&guardLock);
            return 1; // the caller makes the static
        }
        SleepConditionVariableSRW(&guardChanged, &guardLock, INFINITE, 0);
    }
}

extern "C" void __cxa_guard_release(Guard* guard) {
    AcquireSRWLockExclusive(&guardLock);
    making(guard) = 0;
    made(guard).store(1, std::memory_order_release);
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardChanged);
}

// The static's constructor threw: another thread may try.
extern "C" void __cxa_guard_abort(Guard* guard) {
    AcquireSRWLockExclusive(&guardLock);
    making(guard) = 0;
    ReleaseSRWLockExclusive(&guardLock);
    WakeAllConditionVariable(&guardChanged);
}
