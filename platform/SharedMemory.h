#pragma once
// Named blocks of memory shared by every plug-in instance in this process,
// whichever build of the library created them, and a recursive lock that can
// live in one. A new block is all zeros; a block lives while someone in the
// process holds it. On Linux blocks of one process are invisible to the
// others, and what a crashed process left behind is cleared by the next one;
// on Windows a block lives in the paging file under its own name, and every
// process of the session that opens the name shares it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class SharedMemory {
public:
    // Opens the block named name, creating it (all zeros) when it does not
    // exist yet; existed tells which. Null when it can be neither.
    static std::shared_ptr<SharedMemory> open(const std::string& name, size_t size, bool& existed);
    // Removes the name, so that the next open creates the block afresh; views
    // already open stay valid.
    static void remove(const std::string& name);

    virtual ~SharedMemory() = default;
    virtual uint8_t* data() = 0;
    virtual size_t size() const = 0;
};

// A recursive lock placed in shared memory, so that every instance of the
// process takes the same one.
class SharedLock {
public:
    static constexpr size_t bytes = 64;
    // Makes a lock in place (the first user) or uses the one that is there.
    SharedLock(void* place, bool create);
    ~SharedLock();
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;
    void lock();
    void unlock();
    // Ends the lock in place (the last user).
    void destroy();

private:
    void* place_;
    [[maybe_unused]] void* system_ = nullptr; // the system's handle, where the lock is an object of its own
};

} // namespace platform
