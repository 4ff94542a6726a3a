#pragma once
// A whole file's bytes, read into memory the plug-in owns. Track files are
// read once, on the thread that opens them, and never mapped: on Linux a
// mapped file that another program shortens faults on the next read
// (SIGBUS), and a page not yet in memory makes the reader wait for the disk.
// The copy stays valid for as long as someone holds the shared pointer,
// which is how a reader that outlives a file switch keeps its bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class FileBytes {
public:
    // Zero bytes after the file's last one, so a decoder that reads a few
    // bytes ahead (libmad's guard) never leaves the buffer.
    static constexpr size_t zeroGuard = 8;
    // The largest file read: 2 GiB, more than three hours of CD-quality WAV.
    // A larger one is refused rather than held in memory.
    static constexpr uint64_t largest = uint64_t{1} << 31;

    // Null when the file cannot be opened or read, is empty or is larger than largest.
    static std::shared_ptr<const FileBytes> open(const char* path);

    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const uint8_t* data() const { return data_; }
    uint64_t size() const { return size_; }

private:
    FileBytes(uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    uint8_t* data_;
    uint64_t size_;
};

} // namespace platform
