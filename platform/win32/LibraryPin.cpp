#include "platform/LibraryPin.h"

#include <windows.h>

#include <atomic>

namespace platform {

void keepLibraryLoaded() {
    static std::atomic<bool> pinned{false};
    if (pinned.exchange(true)) return;
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCSTR>(&keepLibraryLoaded), &module);
}

} // namespace platform
