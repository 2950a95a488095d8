#pragma once

#include "soundlib/bass.h"

#include <atomic>
#include <chrono>
#include <thread>

// Holds up the sound library's one recording thread, as a disk that hangs in a write does: a
// channel of its own (1000 Hz mono, a format no recording uses) whose callback does not return
// until the stall ends. Meanwhile every other channel's capture piles up in its ring buffer,
// and what does not fit is dropped. Needs an opened recording device; end the stall before
// the library is freed.
class TRecordingThreadStall {
public:
    TRecordingThreadStall() : FChannel(BASS_RecordStart(1000, 1, 0, Hold, this)) {}
    ~TRecordingThreadStall() {
        FHeld = false;
        BASS_ChannelStop(FChannel);
    }
    TRecordingThreadStall(const TRecordingThreadStall&) = delete;
    TRecordingThreadStall& operator=(const TRecordingThreadStall&) = delete;

    bool Started() const { return FChannel != 0; }

private:
    static BOOL Hold(HRECORD, const void*, DWORD, void* User) {
        auto* Self = static_cast<TRecordingThreadStall*>(User);
        while (Self->FHeld)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    }

    std::atomic<bool> FHeld{true}; // before FChannel: its callback may run at once
    const HRECORD FChannel;
};
