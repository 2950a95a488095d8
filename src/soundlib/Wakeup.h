#pragma once

#include <chrono>
#include <semaphore.h>

namespace soundlib {

// Wakes the library's recording thread when captured audio waits, so that it sleeps while
// nothing comes. Post never blocks or allocates (an atomic add, and a futex wake when the
// thread sleeps), so a backend's real-time thread may call it.
class TWakeup {
public:
    TWakeup();
    ~TWakeup();
    TWakeup(const TWakeup&) = delete;
    TWakeup& operator=(const TWakeup&) = delete;

    void Post();
    // Waits until a post or Deadline, then takes every post made so far.
    void WaitUntil(std::chrono::steady_clock::time_point Deadline);

private:
    sem_t FSemaphore;
};

// The recording thread's.
TWakeup& RecordingWakeup();

} // namespace soundlib
