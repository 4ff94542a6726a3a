#pragma once
// What the store file needs from the system to be written safely by several
// processes: a lock that lets one writer in at a time, bytes forced to the
// disk, and a replacement of one file by another that is all or nothing.
#include <cstdint>
#include <cstdio>
#include <string>

namespace platform {

// Holds an exclusive lock on the file at path (made when missing) for as long
// as it lives, against other processes and other threads. The lock ends with
// the process, however it ends.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return handle_ != invalid; }

private:
    static constexpr intptr_t invalid = -1;
    intptr_t handle_ = invalid;
};

// The size of an open file in bytes (0 when it cannot be told).
uint64_t fileSize(FILE* file);

// Forces what was written to file onto the disk; false when that failed.
bool syncToDisk(FILE* file);

// Puts fresh in the place of path, replacing what is there, so that a reader
// sees the old file or the new one and never a part; the change is on the
// disk when it returns true. Windows refuses to replace a file that is open:
// close it first.
bool replaceFileWith(const std::string& fresh, const std::string& path);

// Opens path for writing from its start (made when missing, emptied when
// not); null when it cannot.
FILE* openForWriting(const std::string& path);

bool removeFile(const std::string& path);

// A number that tells this process apart from the others running now.
uint32_t processId();

} // namespace platform
