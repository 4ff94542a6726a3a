// POSIX semaphores: sem_post is a futex wake on Linux, safe on any thread.
#include "platform/Semaphore.h"

#include <semaphore.h>

#include <cerrno>

namespace platform {

struct Semaphore::System {
    sem_t semaphore;
};

Semaphore::Semaphore(int32_t initial) : system_(std::make_unique<System>()) {
    sem_init(&system_->semaphore, 0, static_cast<unsigned>(initial < 0 ? 0 : initial));
}

Semaphore::~Semaphore() { sem_destroy(&system_->semaphore); }

void Semaphore::release() { sem_post(&system_->semaphore); }

void Semaphore::acquire() {
    while (sem_wait(&system_->semaphore) != 0 && errno == EINTR) {
    }
}

} // namespace platform
