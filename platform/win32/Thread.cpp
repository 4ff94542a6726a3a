// Threads on Windows, made by the C runtime's _beginthreadex and waited for
// on their handles. No threading library is linked in for them: MinGW's
// winpthreads keeps handles of its own for every thread it made, which a
// DLL unloaded would leave behind in the host.
#include "platform/Thread.h"

#include <windows.h>
#include <process.h>

namespace platform {

namespace {
struct Start {
    std::function<void()> body;
    Thread::Priority priority;
};

unsigned __stdcall threadMain(void* argument) {
    Start* start = static_cast<Start*>(argument);
    // The system's lowest priority: a loader never takes time from the
    // host's audio thread.
    if (start->priority == Thread::Priority::Lowest) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST);
    start->body();
    delete start;
    return 0;
}
} // namespace

struct Thread::System {
    HANDLE handle = nullptr;
};

Thread::Thread() : system_(std::make_unique<System>()) {}

Thread::~Thread() { join(); }

bool Thread::start(std::function<void()> body, Priority priority) {
    join();
    auto* start = new Start{std::move(body), priority};
    const uintptr_t handle = _beginthreadex(nullptr, 0, &threadMain, start, 0, nullptr);
    if (handle == 0) {
        delete start;
        return false;
    }
    system_->handle = reinterpret_cast<HANDLE>(handle);
    return true;
}

bool Thread::waitFor(uint32_t milliseconds) {
    return !system_->handle || WaitForSingleObject(system_->handle, milliseconds) == WAIT_OBJECT_0;
}

void Thread::join() {
    if (!system_->handle) return;
    WaitForSingleObject(system_->handle, INFINITE);
    CloseHandle(system_->handle);
    system_->handle = nullptr;
}

void Thread::detach() {
    if (!system_->handle) return;
    CloseHandle(system_->handle);
    system_->handle = nullptr;
}

bool Thread::started() const { return system_->handle != nullptr; }

void yieldThread() { SwitchToThread(); }

uint32_t currentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }

} // namespace platform
