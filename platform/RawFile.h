#pragma once
// An ordinary file opened for reading at any offset, with the system's plain
// reads into memory the caller owns. Nothing is mapped: a mapped file that
// another program shortens faults on the next read. The open itself never
// waits for a writer (a FIFO named like a track would hold the opening
// thread for good), and only ordinary files are opened.
//
// Threads: one thread at a time uses a RawFile (the track file's reading
// thread).
#include <cstdint>
#include <memory>

#include "platform/FileBytes.h"

namespace platform {

class RawFile {
public:
    // Null with the reason when path is not an ordinary, readable, non-empty file.
    static std::unique_ptr<RawFile> open(const char* path, FileBytes::Problem& problem);
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;

    // The size when it was opened: a file that grows later is read as it was.
    uint64_t size() const { return size_; }
    // Reads up to n bytes at offset into into; the count read, short at the
    // file's end and 0 on an error.
    int64_t readAt(uint64_t offset, uint8_t* into, int64_t n);

private:
    RawFile(intptr_t handle, uint64_t size) : handle_(handle), size_(size) {}
    intptr_t handle_;
    uint64_t size_;
};

} // namespace platform
