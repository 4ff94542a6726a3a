#pragma once
// A window of a track file's bytes in memory its reader owns: the parsers
// and decoders see the bytes around where they are as one contiguous run,
// and the window moves on as they read. Bytes past the file's end, or that
// could not be read (a file shortened meanwhile, an abandoned file), are
// zeros, so a decoder reads silence or damage there, never outside memory.
//
// Threads: a window belongs to one reading thread.
#include <cstdint>
#include <memory>
#include <vector>

#include "sources/TrackFile.h"

class FileWindow {
public:
    // Zeros the window always has after the bytes it holds (libmad reads
    // MAD_BUFFER_GUARD bytes past a frame).
    static constexpr int64_t guard = 8;

    FileWindow(std::shared_ptr<TrackFile> file, int64_t capacity);

    // The bytes from offset on, at least min(need, capacity) of them in the
    // window; held (when asked) gets how many bytes from offset the window
    // holds, at most to the file's end. guard zeros follow those held
    // bytes in memory. Valid until the next call.
    const uint8_t* at(int64_t offset, int64_t need, int64_t* held = nullptr);
    // The same, into memory the caller owns: n bytes from offset, zeros
    // where the file has none.
    void copy(int64_t offset, int64_t n, uint8_t* into);

    int64_t fileSize() const { return static_cast<int64_t>(file_->size()); }
    int64_t capacity() const { return capacity_; }
    TrackFile& file() { return *file_; }

private:
    std::shared_ptr<TrackFile> file_;
    int64_t capacity_;
    std::vector<uint8_t> bytes_; // capacity + guard
    int64_t start_ = 0, held_ = 0;
};
