#pragma once

#include "support/AudioCheck.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

struct pa_stream;

namespace soundlib {
class TPulseConnection;
}

// Plays a click at every whole second of the wall clock (CLOCK_REALTIME) into the tests'
// null sink, so that its monitor source delivers a mark of known time once a second: the
// recorder's idea of when a frame was captured can be checked against where the click lands.
//
// Each piece of audio the server asks for is dated by the playback stream's own timing: the
// frame written now plays at now + the stream's latency (interpolated between the server's
// timing reports). The click's error is therefore that estimate's: the interpolation between
// two reports (the server's clock against ours, a fraction of a millisecond per 100 ms) and
// the time between reading the clock and the latency (microseconds). In its first second the
// latency is not to be trusted yet (the sink still shrinks its own to the stream's request, and
// the library holds its time still meanwhile): checks use later clicks. A click whose second
// had already passed by more than ClickTolerance when its piece was asked for (the server
// asked late) is left out rather than played late, and counted.
//
// Threads: constructed and destroyed on one thread; the stream's callbacks run on the
// connection's loop thread; the counters may be read from any thread.
class TClickSource {
public:
    // Connects to the server (PULSE_SERVER) and starts playing into the null sink at Rate
    // frames per second, mono; Running() tells whether it did.
    explicit TClickSource(uint32_t Rate = 48000);
    ~TClickSource();
    TClickSource(const TClickSource&) = delete;
    TClickSource& operator=(const TClickSource&) = delete;

    bool Running() const;
    int Placed() const { return FPlaced.load(std::memory_order_relaxed); }
    int Missed() const { return FMissed.load(std::memory_order_relaxed); }

    // How late a click may still start; and its length and level.
    static constexpr int64_t ClickTolerance = 1'000'000; // ns
    static constexpr int64_t ClickLength = 1'000'000;    // ns
    static constexpr int16_t ClickLevel = 26000;         // about 0.8, room for a resampler

private:
    static void OnWrite(pa_stream* Stream, size_t Bytes, void* User);
    // Loop thread: fills Frames frames, the first of which plays at PlayTime (ns since the
    // epoch).
    void Fill(int16_t* Samples, size_t Frames, int64_t PlayTime);

    const uint32_t FRate;
    std::shared_ptr<soundlib::TPulseConnection> FConnection;
    // The rest belongs to the loop's lock.
    pa_stream* FStream = nullptr;
    int64_t FNextClick = 0;       // ns since the epoch, a whole second; 0 before the first piece
    int64_t FClickFramesLeft = 0; // of a click begun in an earlier piece
    std::atomic<int> FPlaced{0};
    std::atomic<int> FMissed{0};
};

// The frames at which clicks begin in Audio (channel 0): the first frame at or above half the
// click's level after at least 100 ms below it.
std::vector<int64_t> ClickOnsets(const TDecodedAudio& Audio);

// Audio's frames appended to All (same rate and channels; All empty or of the same kind).
void AppendAudio(TDecodedAudio& All, const TDecodedAudio& Audio);
