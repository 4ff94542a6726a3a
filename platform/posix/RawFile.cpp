#include "platform/RawFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::unique_ptr<RawFile> RawFile::open(const char* path, FileBytes::Problem& problem) {
    using Problem = FileBytes::Problem;
    problem = Problem::None;
    if (!path || !*path) {
        problem = Problem::Missing;
        return nullptr;
    }
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        problem = errno == ENOENT || errno == ENOTDIR ? Problem::Missing : Problem::Unreadable;
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0)
        problem = Problem::Unreadable;
    else if (!S_ISREG(info.st_mode))
        problem = Problem::NotAFile;
    else if (info.st_size <= 0)
        problem = Problem::Empty;
    if (problem != Problem::None) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<RawFile>(new RawFile(fd, static_cast<uint64_t>(info.st_size)));
}

RawFile::~RawFile() { ::close(static_cast<int>(handle_)); }

int64_t RawFile::readAt(uint64_t offset, uint8_t* into, int64_t n) {
    int64_t got = 0;
    while (got < n && offset + got < size_) {
        const ssize_t r = ::pread(static_cast<int>(handle_), into + got, static_cast<size_t>(n - got),
                                  static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += r;
    }
    return got;
}

} // namespace platform
