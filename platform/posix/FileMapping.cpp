#include "platform/FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::shared_ptr<const FileMapping> FileMapping::open(const char* path) {
    if (!path || !*path) return nullptr;
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        ::close(fd);
        return nullptr;
    }
    auto size = static_cast<uint64_t>(info.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file's pages reachable on its own
    if (view == MAP_FAILED) return nullptr;
    return std::shared_ptr<const FileMapping>(new FileMapping(static_cast<const uint8_t*>(view), size));
}

FileMapping::~FileMapping() { munmap(const_cast<uint8_t*>(data_), size_); }

} // namespace platform
