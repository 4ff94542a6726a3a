#include "tests/support/AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local bool armed = false;
thread_local size_t allocations = 0;

// With TUNEDECK_ABORT_ON_ALLOCATION set, an armed allocation aborts, so a
// debugger shows where it came from.
void count() {
    if (!armed) return;
    ++allocations;
    static const bool abortOnAllocation = std::getenv("TUNEDECK_ABORT_ON_ALLOCATION") != nullptr;
    if (abortOnAllocation) std::abort();
}

void* allocate(size_t size) {
    count();
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
} // namespace

AllocationCounter::AllocationCounter() {
    allocations = 0;
    armed = true;
}
AllocationCounter::~AllocationCounter() { armed = false; }
size_t AllocationCounter::count() const { return allocations; }

void* operator new(size_t size) { return allocate(size); }
void* operator new[](size_t size) { return allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    count();
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    count();
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
