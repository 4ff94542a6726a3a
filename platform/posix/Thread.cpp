// Threads on Linux: the standard library's, at a lowered nice value when
// asked; a timed wait is a condition the body's end signals.
#include "platform/Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {
// Linux applies a nice value per thread when it is given the thread's id.
// Ten steps lower is far enough that the audio thread is never starved and
// still lets a loader finish while the machine is idle.
void lowerThisThreadsPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10); }

struct Ending {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};
} // namespace

struct Thread::System {
    std::thread thread;
    std::shared_ptr<Ending> ending;
};

Thread::Thread() : system_(std::make_unique<System>()) {}

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, Priority priority) {
    join();
    auto ending = std::make_shared<Ending>();
    try {
        system_->thread = std::thread([ending, priority, body = std::move(body)]() {
            if (priority == Priority::Lowest) lowerThisThreadsPriority();
            body();
            std::lock_guard<std::mutex> guard(ending->mutex);
            ending->done = true;
            ending->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    system_->ending = std::move(ending);
    return true;
}

bool Thread::waitFor(uint32_t milliseconds) {
    const std::shared_ptr<Ending> ending = system_->ending;
    if (!ending) return true;
    std::unique_lock<std::mutex> lock(ending->mutex);
    return ending->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return ending->done; });
}

void Thread::join() {
    if (system_->thread.joinable()) system_->thread.join();
    system_->ending.reset();
}

void Thread::detach() {
    if (system_->thread.joinable()) system_->thread.detach();
    system_->ending.reset();
}

bool Thread::started() const { return system_->thread.joinable(); }

void yieldThread() { std::this_thread::yield(); }

uint32_t currentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

} // namespace platform
