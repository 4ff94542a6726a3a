#include "platform/LibraryPin.h"

#include <dlfcn.h>

#include <atomic>

namespace platform {

void keepLibraryLoaded() {
    static std::atomic<bool> pinned{false};
    if (pinned.exchange(true)) return;
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&keepLibraryLoaded), &info) == 0 || !info.dli_fname) return;
    // Opening what is already loaded with RTLD_NODELETE marks it never to be
    // unloaded; the handle is deliberately kept.
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

} // namespace platform
