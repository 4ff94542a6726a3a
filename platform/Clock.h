#pragma once
// Millisecond tick and sleeping. The tick is a 32-bit count that wraps, like
// the tick of the system this plug-in came from; differences are taken in
// unsigned arithmetic so a wrap does no harm.
#include <cstdint>
#include <ctime>

namespace platform {

using TickSource = uint32_t (*)();

// Milliseconds since an arbitrary start, monotonic.
uint32_t tickCount();

// Replaces the tick with a test's own clock; null restores the real one.
void setTickSource(TickSource source);

void sleepMs(uint32_t milliseconds);

// The local calendar time of when, safe to call from any thread; false when
// the system cannot tell it.
bool localTime(std::time_t when, std::tm& local);

} // namespace platform
