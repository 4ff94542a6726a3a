// What threads need of Linux: a lowered priority and the thread's id.
#include "platform/Thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

// Linux applies a nice value per thread when it is given the thread's id.
// Ten steps lower is far enough that the audio thread is never starved and
// still lets a loader finish while the machine is idle.
void lowerThisThreadsPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10); }

uint32_t currentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

} // namespace platform
