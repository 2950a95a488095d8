#include "soundlib/Wakeup.h"

#include <cerrno>

namespace soundlib {

TWakeup::TWakeup() {
    sem_init(&FSemaphore, 0, 0);
}

TWakeup::~TWakeup() {
    sem_destroy(&FSemaphore);
}

void TWakeup::Post() {
    sem_post(&FSemaphore);
}

void TWakeup::WaitUntil(std::chrono::steady_clock::time_point Deadline) {
    // steady_clock is CLOCK_MONOTONIC.
    const auto Since = Deadline.time_since_epoch();
    const auto Seconds = std::chrono::duration_cast<std::chrono::seconds>(Since);
    const timespec Until{static_cast<time_t>(Seconds.count()),
                         static_cast<long>(std::chrono::nanoseconds(Since - Seconds).count())};
    while (sem_clockwait(&FSemaphore, CLOCK_MONOTONIC, &Until) != 0 && errno == EINTR) {
    }
    while (sem_trywait(&FSemaphore) == 0) {
    }
}

TWakeup& RecordingWakeup() {
    static TWakeup Wakeup;
    return Wakeup;
}

} // namespace soundlib
