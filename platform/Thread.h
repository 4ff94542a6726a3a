#pragma once
// A worker thread that can run at a lowered priority and be waited for with a
// time-out. The destructor waits for the body to end, so a thread never
// outlives the object that started it, unless it was let go (detach): a
// body that may outlive its starter, or anything a body reads after a timed
// wait gave up on it, must be kept alive by the body itself (shared
// ownership). Each system's backend makes the thread with the system's own
// call: on Windows no threading library is linked in, so a DLL unloaded
// leaves nothing of its threads behind.
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class Thread {
public:
    enum class Priority { Normal, Lowest };

    Thread();
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. False when the thread could not be made.
    bool start(std::function<void()> body, Priority priority);

    // True once the body has ended (at once when nothing was started).
    bool waitFor(uint32_t milliseconds);

    // Waits without a limit.
    void join();

    // Lets the thread run on by itself; the object no longer waits for it.
    void detach();

    bool started() const;

private:
    struct System;
    std::unique_ptr<System> system_;
};

// A small number that tells threads apart (log lines, the editor's thread).
uint32_t currentThreadId();

// Gives the rest of the calling thread's time slice to others that are ready.
void yieldThread();

} // namespace platform
