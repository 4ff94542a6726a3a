// Windows semaphores: ReleaseSemaphore returns at once on any thread.
#include "platform/Semaphore.h"

#include <windows.h>

namespace platform {

struct Semaphore::System {
    HANDLE semaphore = nullptr;
};

Semaphore::Semaphore(int32_t initial) : system_(std::make_unique<System>()) {
    system_->semaphore = CreateSemaphoreA(nullptr, initial < 0 ? 0 : initial, 0x7FFFFFFF, nullptr);
}

Semaphore::~Semaphore() {
    if (system_->semaphore) CloseHandle(system_->semaphore);
}

void Semaphore::release() { ReleaseSemaphore(system_->semaphore, 1, nullptr); }

void Semaphore::acquire() { WaitForSingleObject(system_->semaphore, INFINITE); }

bool Semaphore::acquireFor(uint32_t milliseconds) {
    return WaitForSingleObject(system_->semaphore, milliseconds) == WAIT_OBJECT_0;
}

} // namespace platform
