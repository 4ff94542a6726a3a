#pragma once
// A read-only memory view of a whole file. The view stays valid for as long
// as someone holds the shared pointer, which is how a reader that outlives a
// file switch keeps its bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class FileMapping {
public:
    // Null when the file cannot be opened, is empty or cannot be mapped.
    static std::shared_ptr<const FileMapping> open(const char* path);

    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    const uint8_t* data() const { return data_; }
    uint64_t size() const { return size_; }

private:
    FileMapping(const uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    const uint8_t* data_;
    uint64_t size_;
};

} // namespace platform
