#pragma once
// A whole file's bytes, read into memory the plug-in owns: track lists, read
// once, off the audio and GUI threads, and never mapped: on Linux a mapped
// file that another program shortens faults on the next read (SIGBUS), and
// a page not yet in memory makes the reader wait for the disk. (Tracks are
// read in ranges while they play: sources/TrackFile.h.)
// The copy stays valid for as long as someone holds the shared pointer,
// which is how a reader that outlives a file switch keeps its bytes.
//
// Only ordinary files are read. The open itself never waits (a FIFO or a
// device named like a track would hold the opening thread for good), and the
// read goes in pieces between which the caller may give up.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform {

class FileBytes {
public:
    // Zero bytes after the file's last one, so a decoder that reads a few
    // bytes ahead (libmad's guard) never leaves the buffer.
    static constexpr size_t zeroGuard = 8;
    // The largest file read whole unless the caller says less.
    static constexpr uint64_t largest = uint64_t{1} << 31;

    // Why a read gave nothing.
    enum class Problem { None, Missing, NotAFile, TooLarge, Empty, Unreadable, GivenUp };
    struct Read {
        std::shared_ptr<const FileBytes> bytes; // null unless problem is None
        Problem problem = Problem::None;
    };

    // Reads an ordinary file of at most most bytes. Between pieces it stops
    // when giveUp is set (a closing instance, a newer choice of track).
    static Read read(const char* path, uint64_t most = largest, const std::atomic<bool>* giveUp = nullptr);
    // Null when the file cannot be read, whatever the reason.
    static std::shared_ptr<const FileBytes> open(const char* path) { return read(path).bytes; }
    // Bytes that are already in memory (tests and fuzzers hand sources data
    // this way, without a file).
    static std::shared_ptr<const FileBytes> copyOf(const uint8_t* data, size_t size);

    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    const uint8_t* data() const { return data_; }
    uint64_t size() const { return size_; }

private:
    FileBytes(uint8_t* data, uint64_t size) : data_(data), size_(size) {}
    // Takes a buffer of size + zeroGuard bytes, of which got were read.
    static std::shared_ptr<const FileBytes> adopt(uint8_t* data, uint64_t got);
    uint8_t* data_;
    uint64_t size_;
};

// The user's words for a problem: "not a file", "cannot be read", ...
const char* describe(FileBytes::Problem problem);

} // namespace platform
