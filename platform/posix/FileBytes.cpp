#include "platform/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace platform {

std::shared_ptr<const FileBytes> FileBytes::open(const char* path) {
    if (!path || !*path) return nullptr;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
        static_cast<uint64_t>(info.st_size) > largest) {
        ::close(fd);
        return nullptr;
    }
    const auto expected = static_cast<uint64_t>(info.st_size);
    auto* bytes = static_cast<uint8_t*>(std::malloc(expected + zeroGuard));
    if (!bytes) {
        ::close(fd);
        return nullptr;
    }
    // The file may change while it is read: what was read is what the track is.
    uint64_t got = 0;
    while (got < expected) {
        ssize_t n = ::read(fd, bytes + got, expected - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<uint64_t>(n);
    }
    ::close(fd);
    if (got == 0) {
        std::free(bytes);
        return nullptr;
    }
    std::memset(bytes + got, 0, zeroGuard);
    return std::shared_ptr<const FileBytes>(new FileBytes(bytes, got));
}

FileBytes::~FileBytes() { std::free(data_); }

} // namespace platform
