#pragma once
// Counts heap allocations made on the calling thread while a scope is armed,
// so a test can show that a code path never allocates.
#include <cstddef>

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    size_t count() const;
};
