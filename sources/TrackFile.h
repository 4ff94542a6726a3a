#pragma once
// A track's file, read in ranges while it plays: a deck holds only the part
// it decodes, whatever the track's length. Every system call on the file
// (the open and each read) runs on a reading thread of the file's own, so
// that a file on a network share that stalls holds nobody: a reader waits
// only until the file is abandoned (the track closes, the deck goes) or, while
// the file opens, until the opening gives up. A stalled reading thread is
// left behind; it owns what it touches and frees it when its call returns.
// Bytes go into memory the reader owns, so a file that changes or vanishes
// meanwhile gives short reads, never a fault.
//
// Threads: any number of threads read (the opener, the decode-ahead worker,
// the loader), one request at a time; abandon may come from any thread but
// the audio thread. The reading thread is joined when the file goes, unless
// it is stalled in a call: then it is left to end alone, with the library
// kept loaded for it.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/FileBytes.h"
#include "platform/Thread.h"

class TrackFile {
public:
    using Problem = platform::FileBytes::Problem;
    struct Opened {
        std::shared_ptr<TrackFile> file; // null unless problem is None
        Problem problem = Problem::None;
    };

    // Opens path; while waiting asks giveUp every few milliseconds (null:
    // never gives up). Reads made before setGiveUp(nullptr) give up with it.
    static Opened open(const char* path, std::function<bool()> giveUp = nullptr);
    // A file of bytes already in memory (tests, fuzzers and tools).
    static std::shared_ptr<TrackFile> copyOf(const uint8_t* data, size_t size);

    ~TrackFile();
    TrackFile(const TrackFile&) = delete;
    TrackFile& operator=(const TrackFile&) = delete;

    uint64_t size() const { return size_; }
    // Reads up to n bytes at offset into into: fewer at the file's end or on
    // an error, and none once the file is abandoned or the read gives up.
    int64_t read(uint64_t offset, uint8_t* into, int64_t n);
    // Every read under way or to come returns at once.
    void abandon();
    bool isAbandoned() const;
    // Replaces the opening's giveUp (null: reads wait for the file alone).
    void setGiveUp(std::function<bool()> giveUp);

    // A test's stand-in for a share that stalls: called on the reading
    // thread before each call on the file, it may block. Null removes it.
    using StallFunction = void (*)(const char* path);
    static void useStallFunction(StallFunction function);

private:
    struct Channel;
    TrackFile() = default;
    std::shared_ptr<Channel> channel_;                 // a file on disk
    std::unique_ptr<platform::Thread> reader_;                              // ... and its reading thread
    std::shared_ptr<const platform::FileBytes> bytes_; // a file in memory
    uint64_t size_ = 0;
};
