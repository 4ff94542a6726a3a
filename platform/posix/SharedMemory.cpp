#include "platform/SharedMemory.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace platform {
namespace {

// POSIX shared memory names are system-wide; the process id in the name
// makes them this process's own.
std::string systemName(const std::string& name) { return "/tunedeck." + std::to_string(getpid()) + "." + name; }

// Blocks left by processes that no longer run (a crash skips the clean-up
// of the last instance) are removed, so they do not pile up in memory.
void removeLeftovers() {
    static std::once_flag once;
    std::call_once(once, [] {
        DIR* dir = opendir("/dev/shm");
        if (!dir) return;
        while (dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strncmp(name, "tunedeck.", 9) != 0) continue;
            char* end = nullptr;
            long pid = std::strtol(name + 9, &end, 10);
            if (pid <= 0 || !end || *end != '.' || pid == getpid()) continue;
            if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
            shm_unlink((std::string("/") + name).c_str());
        }
        closedir(dir);
    });
}

class PosixSharedMemory : public SharedMemory {
public:
    PosixSharedMemory(uint8_t* data, size_t size) : data_(data), size_(size) {}
    ~PosixSharedMemory() override { munmap(data_, size_); }
    uint8_t* data() override { return data_; }
    size_t size() const override { return size_; }

private:
    uint8_t* data_;
    size_t size_;
};

// One view of each name in this library, shared by its instances: with
// thousands of records, a view per record per instance would exhaust the
// kernel's map count.
std::mutex registryMutex;
std::map<std::string, std::weak_ptr<SharedMemory>>& registry() {
    static std::map<std::string, std::weak_ptr<SharedMemory>> views;
    return views;
}

} // namespace

std::shared_ptr<SharedMemory> SharedMemory::open(const std::string& name, size_t size, bool& existed) {
    removeLeftovers();
    std::lock_guard<std::mutex> guard(registryMutex);
    auto& views = registry();
    if (auto it = views.find(name); it != views.end())
        if (auto view = it->second.lock()) {
            existed = true;
            return view;
        }
    const std::string path = systemName(name);
    int fd = shm_open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    existed = fd < 0 && errno == EEXIST;
    if (existed) fd = shm_open(path.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    struct stat info {};
    // The pages are reserved now: a full /dev/shm makes this open fail,
    // where a block that only has a size would fault on its first write.
    if (fstat(fd, &info) != 0 ||
        (static_cast<size_t>(info.st_size) < size &&
         (ftruncate(fd, static_cast<off_t>(size)) != 0 || posix_fallocate(fd, 0, static_cast<off_t>(size)) != 0))) {
        close(fd);
        if (!existed) shm_unlink(path.c_str());
        return nullptr;
    }
    void* view = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) return nullptr;
    std::shared_ptr<SharedMemory> block = std::make_shared<PosixSharedMemory>(static_cast<uint8_t*>(view), size);
    views[name] = block;
    return block;
}

void SharedMemory::remove(const std::string& name) {
    shm_unlink(systemName(name).c_str());
    std::lock_guard<std::mutex> guard(registryMutex);
    registry().erase(name);
}

static_assert(sizeof(pthread_mutex_t) <= SharedLock::bytes, "the lock must fit its place");

SharedLock::SharedLock(void* place, bool create) : place_(place) {
    if (!create) return;
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attributes, PTHREAD_PROCESS_SHARED);
    pthread_mutex_init(static_cast<pthread_mutex_t*>(place_), &attributes);
    pthread_mutexattr_destroy(&attributes);
}

void SharedLock::lock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(place_)); }
void SharedLock::unlock() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(place_)); }
void SharedLock::destroy() { pthread_mutex_destroy(static_cast<pthread_mutex_t*>(place_)); }

} // namespace platform
