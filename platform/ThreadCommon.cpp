// The worker thread's portable part: starting, waiting with a time-out and
// joining. The backends give only what differs per system: how a thread
// lowers its own priority, and its id.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "platform/Thread.h"

namespace platform {

struct Thread::State {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, Priority priority) {
    join();
    auto state = std::make_shared<State>();
    try {
        thread_ = std::thread([state, priority, body = std::move(body)]() {
            if (priority == Priority::Lowest) lowerThisThreadsPriority();
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
