#include "soundlib/Channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

using namespace soundlib;

// A capture stream the test fills by hand.
class TFedStream : public TCaptureStream {
public:
    using TCaptureStream::Deliver;
    using TCaptureStream::TCaptureStream;
};

// Counts what it is given and the largest piece.
class TCountingEncoder : public TEncoder {
public:
    size_t& Frames;
    size_t& Largest;
    TCountingEncoder(size_t& Total, size_t& Max) : Frames(Total), Largest(Max) {}

protected:
    bool Encode(const int16_t*, size_t Count) override {
        Frames += Count;
        Largest = std::max(Largest, Count);
        return true;
    }
    bool Complete() override { return true; }
};

// A source faster than real time prerolls many seconds before the encoder comes: the encoder
// gets all of it, in pieces no larger than a delivery block (encoder libraries count frames
// in int and allocate per call).
TEST(Channel, ALargePrerollReachesTheEncoderInBlocks) {
    const TCaptureFormat Format{44100, 2};
    auto Stream = std::make_unique<TFedStream>(Format);
    TFedStream& Feed = *Stream;
    TChannel Channel(1, std::move(Stream), nullptr, nullptr);
    std::vector<int16_t> Second(size_t{44100} * 2);
    std::iota(Second.begin(), Second.end(), int16_t{0});
    constexpr int Seconds = 20;
    for (int I = 0; I < Seconds; ++I) {
        Feed.Deliver(Second.data(), Second.size() * sizeof(int16_t));
        Channel.DeliverPending();
    }
    size_t Frames = 0, Largest = 0;
    Channel.AttachEncoder(std::make_unique<TCountingEncoder>(Frames, Largest));
    EXPECT_EQ(Frames, size_t{44100} * Seconds);
    EXPECT_LE(Largest, size_t{44100} * LongestDelivery.count() / 1000);
    EXPECT_GT(Largest, 0u);
    Channel.Stop();
}

} // namespace
