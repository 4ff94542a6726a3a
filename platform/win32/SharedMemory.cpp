// Named shared memory on Windows: sections backed by the paging file under
// the block's own name, in the session's namespace, so that every instance
// in every host process of the user's session sees one store. Commit is
// taken when a section is made, so a full paging file makes the open fail
// instead of a later write. The store's lock is a named mutex (recursive,
// shared between processes, and released by the system when its owner
// dies); its name lives in the block so that every user opens the same one.
#include "platform/SharedMemory.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {
namespace {

class Win32SharedMemory : public SharedMemory {
public:
    Win32SharedMemory(HANDLE mapping, uint8_t* data, size_t size) : mapping_(mapping), data_(data), size_(size) {}
    ~Win32SharedMemory() override {
        UnmapViewOfFile(data_);
        CloseHandle(mapping_);
    }
    uint8_t* data() override { return data_; }
    size_t size() const override { return size_; }

private:
    HANDLE mapping_;
    uint8_t* data_;
    size_t size_;
};

// One view of each name in this library, shared by its instances, as on
// Linux: thousands of records times several instances would waste address
// space, which a 32-bit host has little of.
std::mutex registryMutex;
std::map<std::string, std::weak_ptr<SharedMemory>>& registry() {
    static std::map<std::string, std::weak_ptr<SharedMemory>> views;
    return views;
}

} // namespace

std::shared_ptr<SharedMemory> SharedMemory::open(const std::string& name, size_t size, bool& existed) {
    std::lock_guard<std::mutex> guard(registryMutex);
    auto& views = registry();
    if (auto it = views.find(name); it != views.end())
        if (auto view = it->second.lock()) {
            existed = true;
            return view;
        }
    const auto high = static_cast<DWORD>(static_cast<uint64_t>(size) >> 32);
    const auto low = static_cast<DWORD>(size & 0xFFFFFFFFu);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, high, low,
                                        name.c_str());
    if (!mapping) return nullptr;
    existed = GetLastError() == ERROR_ALREADY_EXISTS;
    // A section made smaller by someone else fails here rather than later.
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view) {
        CloseHandle(mapping);
        return nullptr;
    }
    std::shared_ptr<SharedMemory> block =
        std::make_shared<Win32SharedMemory>(mapping, static_cast<uint8_t*>(view), size);
    views[name] = block;
    return block;
}

// A section ends with its last handle; dropping this library's view is all
// that is left to do.
void SharedMemory::remove(const std::string& name) {
    std::lock_guard<std::mutex> guard(registryMutex);
    registry().erase(name);
}

namespace {
// The place holds the mutex's name, written once by the lock's maker.
constexpr size_t nameBytes = SharedLock::bytes;

std::atomic<char>* firstChar(void* place) { return reinterpret_cast<std::atomic<char>*>(place); }
} // namespace

SharedLock::SharedLock(void* place, bool create) : place_(place) {
    char* name = static_cast<char*>(place_);
    if (create) {
        static std::atomic<uint32_t> made{0};
        char fresh[nameBytes];
        std::snprintf(fresh, sizeof fresh, "tunedeckLock.%lu.%lu.%lu", static_cast<unsigned long>(GetCurrentProcessId()),
                      static_cast<unsigned long>(GetTickCount()), static_cast<unsigned long>(made.fetch_add(1)));
        system_ = CreateMutexA(nullptr, FALSE, fresh);
        std::memcpy(name + 1, fresh + 1, std::strlen(fresh));
        firstChar(place_)->store(fresh[0], std::memory_order_release);
        return;
    }
    // Another process may have made the block a moment ago and not yet its lock.
    for (int waited = 0; firstChar(place_)->load(std::memory_order_acquire) == 0 && waited < 2000; ++waited) Sleep(1);
    if (firstChar(place_)->load(std::memory_order_acquire) == 0) return;
    char copy[nameBytes];
    std::memcpy(copy, name, nameBytes);
    copy[nameBytes - 1] = 0;
    system_ = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, copy);
}

SharedLock::~SharedLock() {
    if (system_) CloseHandle(static_cast<HANDLE>(system_));
}

// An owner that died holding the mutex leaves it abandoned; the next waiter
// gets it all the same (WAIT_ABANDONED), and the records are whole words.
void SharedLock::lock() {
    if (system_) WaitForSingleObject(static_cast<HANDLE>(system_), INFINITE);
}

void SharedLock::unlock() {
    if (system_) ReleaseMutex(static_cast<HANDLE>(system_));
}

void SharedLock::destroy() { firstChar(place_)->store(0, std::memory_order_release); }

} // namespace platform
