#pragma once
// A worker thread that can run at a lowered priority and be waited for with a
// time-out. The destructor waits for the body to end, so a thread never
// outlives the object that started it; anything a body reads after a timed
// wait gave up on it must be kept alive by the body itself (shared ownership).
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class Thread {
public:
    enum class Priority { Normal, Lowest };

    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. False when the thread could not be made.
    bool start(std::function<void()> body, Priority priority);

    // True once the body has ended (at once when nothing was started).
    bool waitFor(uint32_t milliseconds);

    // Waits without a limit.
    void join();

    bool started() const { return thread_.joinable(); }

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace platform

namespace platform {
// A small number that tells threads apart in log lines.
uint32_t currentThreadId();
// Lowers the calling thread's priority (each system's backend).
void lowerThisThreadsPriority();
} // namespace platform
