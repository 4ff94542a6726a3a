// What threads need of Windows: the system's own lowest priority, so that a
// loader never takes time from the host's audio thread, and the thread's id.
#include "platform/Thread.h"

#include <windows.h>

namespace platform {

void lowerThisThreadsPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST); }

uint32_t currentThreadId() { return static_cast<uint32_t>(GetCurrentThreadId()); }

} // namespace platform
