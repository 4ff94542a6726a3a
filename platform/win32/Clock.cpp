// The tick is the multimedia timer's, which counts milliseconds with a
// millisecond's resolution (GetTickCount steps by 10 to 16 ms) and wraps after
// 49.7 days like the 32-bit tick the code was written around.
#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>

namespace platform {
namespace {
std::atomic<TickSource> substitute{nullptr};
} // namespace

uint32_t tickCount() {
    TickSource source = substitute.load(std::memory_order_relaxed);
    return source ? source() : static_cast<uint32_t>(timeGetTime());
}

void setTickSource(TickSource source) { substitute.store(source, std::memory_order_relaxed); }

void sleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

bool localTime(std::time_t when, std::tm& local) { return localtime_s(&local, &when) == 0; }

} // namespace platform
