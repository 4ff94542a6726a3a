#include "platform/DurableFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Paths.h"

namespace platform {

FileLock::FileLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    if (flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        return;
    }
    handle_ = fd;
}

FileLock::~FileLock() {
    if (held()) ::close(static_cast<int>(handle_)); // closing releases the lock
}

uint64_t fileSize(FILE* file) {
    struct stat info {};
    return fstat(fileno(file), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

bool syncToDisk(FILE* file) { return fsync(fileno(file)) == 0; }

namespace {
// A rename is on the disk once the folder that holds the name is.
bool syncFolderOf(const std::string& path) {
    const std::string directory = paths::directoryOf(path);
    const std::string folder = directory.empty() ? std::string(".") : directory;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    ::close(fd);
    return ok;
}
} // namespace

bool replaceFileWith(const std::string& fresh, const std::string& path) {
    if (std::rename(fresh.c_str(), path.c_str()) != 0) return false;
    syncFolderOf(path);
    return true;
}

FILE* openForWriting(const std::string& path) { return std::fopen(path.c_str(), "wb"); }

bool removeFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

uint32_t processId() { return static_cast<uint32_t>(getpid()); }

} // namespace platform
