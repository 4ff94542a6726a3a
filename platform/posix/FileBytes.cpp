#include "platform/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {
constexpr uint64_t piece = uint64_t{1} << 20;
}

FileBytes::Read FileBytes::read(const char* path, uint64_t most, const std::atomic<bool>* giveUp) {
    if (!path || !*path) return {nullptr, Problem::Missing};
    // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
    int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return {nullptr, errno == ENOENT || errno == ENOTDIR ? Problem::Missing : Problem::Unreadable};
    struct stat info {};
    Problem problem = Problem::None;
    if (fstat(fd, &info) != 0)
        problem = Problem::Unreadable;
    else if (!S_ISREG(info.st_mode))
        problem = Problem::NotAFile;
    else if (info.st_size <= 0)
        problem = Problem::Empty;
    else if (static_cast<uint64_t>(info.st_size) > most)
        problem = Problem::TooLarge;
    if (problem != Problem::None) {
        ::close(fd);
        return {nullptr, problem};
    }
    const auto expected = static_cast<uint64_t>(info.st_size);
    auto* bytes = static_cast<uint8_t*>(std::malloc(expected + zeroGuard));
    if (!bytes) {
        ::close(fd);
        return {nullptr, Problem::TooLarge};
    }
    // The file may change while it is read: what was read is what the track is.
    uint64_t got = 0;
    while (got < expected) {
        if (giveUp && giveUp->load(std::memory_order_relaxed)) {
            problem = Problem::GivenUp;
            break;
        }
        const uint64_t want = expected - got < piece ? expected - got : piece;
        ssize_t n = ::read(fd, bytes + got, want);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        got += static_cast<uint64_t>(n);
    }
    ::close(fd);
    if (problem != Problem::None || got == 0) {
        std::free(bytes);
        return {nullptr, problem != Problem::None ? problem : Problem::Unreadable};
    }
    return {adopt(bytes, got), Problem::None};
}

} // namespace platform
