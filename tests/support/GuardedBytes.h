#pragma once
// Bytes that end right where an inaccessible page begins, so that a read
// past their end faults at once instead of going unnoticed in the heap.
#include <cstddef>
#include <cstdint>
#include <vector>

class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<uint8_t>& bytes);
    ~GuardedBytes();
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* region_ = nullptr;
    size_t regionSize_ = 0;
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};
