// POSIX semaphores: sem_post is a futex wake on Linux, safe on any thread.
#include "platform/Semaphore.h"

#include <semaphore.h>

#include <cerrno>
#include <ctime>

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

bool Semaphore::acquireFor(uint32_t milliseconds) {
    timespec until{};
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += milliseconds / 1000;
    until.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) until.tv_sec += 1, until.tv_nsec -= 1000000000L;
    int result;
    while ((result = sem_timedwait(&system_->semaphore, &until)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

} // namespace platform
