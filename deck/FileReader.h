#pragma once
// Reads a file on a thread of its own, so that the thread that wants it can
// stop waiting: a track on a network share that stalls, or a huge file being
// read while the host closes the plug-in, must never hold the opener (and
// with it the host's close or a change of track) for more than a moment.
//
// Threads: any thread calls read and waits on it; the reading thread shares
// only its own state with it. A read given up on goes on alone, touching
// nothing of the instance that asked, frees what it read when it returns,
// and stops between pieces of a large file at once.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/FileBytes.h"

class FileReader {
public:
    // Reads path (at most most bytes); while waiting, asks giveUp every few
    // milliseconds and returns GivenUp as soon as it says so.
    static platform::FileBytes::Read read(const std::string& path, uint64_t most,
                                          const std::function<bool()>& giveUp);

    // What reads a file: the system's reading, or a test's stand-in for a
    // share that stalls. Null restores the system's.
    using ReadFunction = platform::FileBytes::Read (*)(const char* path, uint64_t most,
                                                       const std::atomic<bool>* giveUp);
    static void useReadFunction(ReadFunction function);
};
