#pragma once
// A counting semaphore from the system. A release never blocks and never
// allocates, so the audio thread may wake a worker with it; acquire waits
// without a limit. (The standard library's semaphores wait through a shared
// table of condition variables where the system has no futex, MinGW's among
// them, and can miss a release there: a worker then sleeps for ever.)
#include <cstdint>
#include <memory>

namespace platform {

class Semaphore {
public:
    explicit Semaphore(int32_t initial = 0);
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    void release();
    void acquire();
    // Waits at most milliseconds; true when it took a release.
    bool acquireFor(uint32_t milliseconds);

private:
    struct System;
    std::unique_ptr<System> system_;
};

} // namespace platform
