#pragma once

#include "control/RecordingController.h"
#include "soundlib/FrameTimes.h"

#include <QDateTime>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

// The wall clock a test's scripted capture dates its audio by: the test's clock as the
// controller last read it, run on in real time from there, as a sound card's audio follows the
// wall clock. Before the first reading, the real clock.
class TTestWallClock {
public:
    void Set(const QDateTime& Moment) {
        std::lock_guard Lock(FMutex);
        FMoment = Moment;
        FSince = std::chrono::steady_clock::now();
    }
    int64_t Now() const {
        std::lock_guard Lock(FMutex);
        if (!FMoment.isValid())
            return soundlib::RealtimeNanoseconds();
        return FMoment.toMSecsSinceEpoch() * 1'000'000 +
               std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now() - FSince)
                   .count();
    }

private:
    mutable std::mutex FMutex;
    QDateTime FMoment;
    std::chrono::steady_clock::time_point FSince;
};

// In the first minute of an hour, gives the recording thread the real time it needs to cut the
// file at the hour (at most 2 s), ticking Controller meanwhile at the same moment Now, as the
// program's clock would: tests tick far faster than audio comes.
inline void SettleCut(TRecordingController& Controller, const QDateTime& Now) {
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (Controller.CutPending() && Now.toLocalTime().time().minute() == 0 &&
           std::chrono::steady_clock::now() < Deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Controller.TimerClockTimer();
    }
}
