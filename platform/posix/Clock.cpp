#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace platform {
namespace {
std::atomic<TickSource> substitute{nullptr};

uint32_t steadyTick() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}
} // namespace

uint32_t tickCount() {
    TickSource source = substitute.load(std::memory_order_relaxed);
    return source ? source() : steadyTick();
}

void setTickSource(TickSource source) { substitute.store(source, std::memory_order_relaxed); }

void sleepMs(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

bool localTime(std::time_t when, std::tm& local) { return localtime_r(&when, &local) != nullptr; }

} // namespace platform
