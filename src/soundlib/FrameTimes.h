#pragma once

#include "soundlib/RingBuffer.h"

#include <cstdint>
#include <optional>

namespace soundlib {

// The wall clock (CLOCK_REALTIME) in nanoseconds since the epoch: the clock the recordings'
// times are given in.
int64_t RealtimeNanoseconds();

// When each frame of a capture entered its source, as the wall clock says. The capture's
// producer leaves a mark with each block it queues (the block's first frame number and its
// time); the recording thread asks for the time of the frame it reads next and gets it from
// the latest mark at or before that frame, counted forward at the capture's rate. A mark per
// block follows the sound card's own clock and a step of the wall clock alike.
//
// Threads: Mark on the producer's thread, TimeOf on the consumer's, as the queue they go with.
class TFrameTimes {
public:
    explicit TFrameTimes(uint32_t Rate);

    // Producer: frame Frame of the capture entered the source at Nanoseconds. A mark that does
    // not fit (the consumer fell far behind) is left out; the time is then counted from an
    // older one.
    void Mark(uint64_t Frame, int64_t Nanoseconds);

    // Consumer: the time of frame Frame; frames are asked for in order. None before any mark
    // reached the consumer.
    std::optional<int64_t> TimeOf(uint64_t Frame);

private:
    struct TMark {
        uint64_t Frame;
        int64_t Nanoseconds;
    };
    // Consumer: the next mark from the ring into FNext, when one waits.
    bool PeekNext();

    const uint32_t FRate;
    TRingBuffer FMarks;
    std::optional<TMark> FCurrent; // the consumer's
    std::optional<TMark> FNext;    // the consumer's, read from the ring but not yet reached
};

} // namespace soundlib
