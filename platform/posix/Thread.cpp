#include "platform/Thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

struct Thread::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

namespace {
// Linux applies a nice value per thread when it is given the thread's id.
// Ten steps lower is far enough that the audio thread is never starved and
// still lets a loader finish while the machine is idle.
void lowerPriority() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
}
} // namespace

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, Priority priority) {
    join();
    auto state = std::make_shared<State>();
    try {
        thread_ = std::thread([state, priority, body = std::move(body)]() {
            if (priority == Priority::Lowest) lowerPriority();
            body();
            std::lock_guard<std::mutex> guard(state->mutex);
            state->done = true;
            state->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    state_ = std::move(state);
    return true;
}

bool Thread::waitFor(uint32_t milliseconds) {
    if (!state_) return true;
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return state_->done; });
}

void Thread::join() {
    if (thread_.joinable()) thread_.join();
    state_.reset();
}

} // namespace platform

namespace platform {
uint32_t currentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }
} // namespace platform
