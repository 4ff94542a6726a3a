#include "platform/SharedMemory.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>
#include <mutex>
#include <new>

namespace platform {
namespace {

// This process's start in clock ticks since boot (field 22 of its stat
// line, after the command name, which may itself hold spaces). Read through
// /proc/self, which names this process whichever pid namespace /proc shows.
unsigned long long ownStartTicks() {
    FILE* file = std::fopen("/proc/self/stat", "r");
    if (!file) return 0;
    char line[1024] = {};
    const size_t n = std::fread(line, 1, sizeof line - 1, file);
    std::fclose(file);
    line[n] = 0;
    const char* at = std::strrchr(line, ')');
    unsigned long long ticks = 0;
    for (int field = 3; field <= 22 && at; ++field) {
        at = std::strchr(at + 1, ' ');
        if (field == 22 && at) ticks = std::strtoull(at + 1, nullptr, 10);
    }
    return ticks;
}

// The process's pid namespace, which tells processes of one pid apart
// across containers.
unsigned long long pidNamespace() {
    struct stat info {};
    return stat("/proc/self/ns/pid", &info) == 0 ? static_cast<unsigned long long>(info.st_ino) : 0;
}

// This process's mark in the names of its blocks: its pid namespace, its pid
// and its start time, so that no other process, now or later, in this
// container or another, takes its blocks for its own. Every library in the
// process (both builds) computes the same mark; a forked child, another
// process, computes its own.
std::string processMark() {
    static std::mutex guard;
    static pid_t markedPid = 0;
    static std::string mark;
    std::lock_guard<std::mutex> lock(guard);
    if (markedPid != getpid()) {
        markedPid = getpid();
        mark = std::to_string(pidNamespace()) + "." + std::to_string(markedPid) + "." + std::to_string(ownStartTicks());
    }
    return mark;
}

std::string systemName(const std::string& name) { return "/tunedeck." + processMark() + "." + name; }

// Whether a process is alive is told by a lock, not by its number: each
// process holds a shared lock on a small object of its own for as long as
// it runs, and the kernel lets it go when the process ends, however it ends.
const char* const aliveSuffix = ".alive";

void holdAliveLock() {
    static std::mutex guard;
    static pid_t holder = 0;
    std::lock_guard<std::mutex> lock(guard);
    if (holder == getpid()) return;
    const std::string name = "/tunedeck." + processMark() + aliveSuffix;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return;
        flock(fd, LOCK_SH);
        // A sweeper may have removed the name between its creation and the
        // lock: the name must still be this object.
        struct stat held {}, named {};
        if (fstat(fd, &held) == 0 && stat(("/dev/shm" + name).c_str(), &named) == 0 && held.st_ino == named.st_ino) {
            holder = getpid(); // the descriptor stays open: the lock lasts the process
            return;
        }
        close(fd);
    }
}

// Blocks left by processes that no longer run (a crash skips the clean-up
// of the last instance) are removed, so they do not pile up in memory.
void removeLeftovers() {
    static std::once_flag once;
    std::call_once(once, [] {
        DIR* dir = opendir("/dev/shm");
        if (!dir) return;
        const std::string own = "tunedeck." + processMark() + ".";
        std::map<std::string, bool> aliveByMark;
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
        closedir(dir);
        for (const std::string& name : names) {
            if (name.compare(0, 9, "tunedeck.") != 0 || name.compare(0, own.size(), own) == 0) continue;
            // The mark is the three dot-separated numbers after "tunedeck.".
            size_t end = 9;
            for (int part = 0; part < 3 && end != std::string::npos; ++part) end = name.find('.', end + 1);
            if (end == std::string::npos) continue;
            const std::string mark = name.substr(9, end - 9);
            auto known = aliveByMark.find(mark);
            if (known == aliveByMark.end()) {
                bool alive = false;
                const std::string aliveName = "/tunedeck." + mark + aliveSuffix;
                const int fd = shm_open(aliveName.c_str(), O_RDWR | O_CLOEXEC, 0600);
                if (fd >= 0) {
                    alive = flock(fd, LOCK_EX | LOCK_NB) != 0;
                    if (!alive) shm_unlink(aliveName.c_str());
                    close(fd);
                }
                known = aliveByMark.emplace(mark, alive).first;
            }
            if (!known->second) shm_unlink(("/" + name).c_str());
        }
    });
}

} // namespace

namespace {

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
    holdAliveLock();
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

SharedLock::~SharedLock() = default;

void SharedLock::lock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(place_)); }
void SharedLock::unlock() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(place_)); }
void SharedLock::destroy() { pthread_mutex_destroy(static_cast<pthread_mutex_t*>(place_)); }

} // namespace platform
