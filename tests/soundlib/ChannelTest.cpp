#include "soundlib/Channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

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
        Feed.Deliver(Second.data(), Second.size() * sizeof(int16_t), std::nullopt);
        Channel.DeliverPending();
    }
    size_t Frames = 0, Largest = 0;
    Channel.AttachEncoder(1, std::make_unique<TCountingEncoder>(Frames, Largest));
    EXPECT_EQ(Frames, size_t{44100} * Seconds);
    EXPECT_LE(Largest, size_t{44100} * LongestDelivery.count() / 1000);
    EXPECT_GT(Largest, 0u);
    Channel.Stop();
}

// What reached one side of a cut: the callback's frames and the encoder's.
struct TSide {
    size_t Frames = 0;
    size_t Largest = 0;
};

struct TCutCase {
    const char* Name;
    int64_t BlockFromCut; // ns: when the block's first frame entered, against the cut's moment
    size_t FramesBefore;
    int64_t CutFromMoment; // ns: when the first frame after the cut entered, against the moment
};

class ChannelCut : public testing::TestWithParam<TCutCase> {};

// The cut falls before the first frame captured at or after its moment: within a frame's
// length of it, never before it, and at the block's start when the block came late.
TEST_P(ChannelCut, EndsTheFileBeforeTheFirstFrameCapturedAtItsMoment) {
    const TCutCase& Case = GetParam();
    constexpr uint32_t Rate = 8000;
    constexpr int64_t Moment = 1'772'715'600'000'000'000; // 2026-03-05 14:00:00 +01:00
    auto Stream = std::make_unique<TFedStream>(TCaptureFormat{Rate, 1});
    TFedStream& Feed = *Stream;
    struct TSeen {
        size_t Frames = 0;
        std::vector<int64_t> Cuts;
    } Seen;
    auto Count = [](HRECORD, const void*, DWORD Length, void* User) -> BOOL {
        static_cast<TSeen*>(User)->Frames += Length / 2;
        return 1;
    };
    TChannel Channel(1, std::move(Stream), Count, &Seen);
    TSide Before, After;
    Channel.AttachEncoder(1, std::make_unique<TCountingEncoder>(Before.Frames, Before.Largest));
    auto Cut = std::make_unique<TCut>();
    Cut->At = Moment;
    Cut->NextHandle = 2;
    Cut->Next = std::make_unique<TCountingEncoder>(After.Frames, After.Largest);
    Cut->Proc = [](uint32_t, int64_t CutTime, void* User) {
        auto& Into = *static_cast<TSeen*>(User);
        Into.Cuts.push_back(CutTime);
        EXPECT_EQ(BlockCaptureTime(), CutTime);
    };
    Cut->User = &Seen;
    ASSERT_TRUE(Channel.ArmCut(Cut));
    const std::vector<int16_t> Second(Rate, 0);
    Feed.Deliver(Second.data(), Second.size() * 2, Moment + Case.BlockFromCut);
    Channel.DeliverPending();

    ASSERT_EQ(Seen.Cuts.size(), 1u);
    EXPECT_EQ(Seen.Cuts[0] - Moment, Case.CutFromMoment);
    EXPECT_EQ(Before.Frames, Case.FramesBefore);
    EXPECT_EQ(After.Frames, Rate - Case.FramesBefore);
    EXPECT_EQ(Seen.Frames, size_t{Rate});
    EXPECT_EQ(Channel.TakeFinishedAtCut(1), BASS_OK);
    EXPECT_EQ(Channel.TakeFinishedAtCut(1), std::nullopt);
    EXPECT_NE(Channel.DetachEncoder(2), nullptr);
    Channel.Stop();
}

INSTANTIATE_TEST_SUITE_P(Channel, ChannelCut,
                         testing::Values(TCutCase{"HalfASecondBefore", -500'000'000, 4000, 0},
                                         TCutCase{"WithinTheFirstFrame", -62'500, 1, 62'500},
                                         TCutCase{"JustOnTheMoment", 0, 0, 0},
                                         TCutCase{"BlockCameLate", 100'000'000, 0, 100'000'000}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A cut taken back before its moment makes nothing: the encoder keeps all audio, the waiting
// one gets none; a block that ends before the moment leaves it armed.
TEST(ChannelCut, ADisarmedCutMakesNothing) {
    constexpr uint32_t Rate = 8000;
    constexpr int64_t Moment = 1'000'000'000'000;
    auto Stream = std::make_unique<TFedStream>(TCaptureFormat{Rate, 1});
    TFedStream& Feed = *Stream;
    TChannel Channel(1, std::move(Stream), nullptr, nullptr);
    TSide Kept, Waiting;
    Channel.AttachEncoder(1, std::make_unique<TCountingEncoder>(Kept.Frames, Kept.Largest));
    auto Cut = std::make_unique<TCut>();
    Cut->At = Moment;
    Cut->NextHandle = 2;
    Cut->Next = std::make_unique<TCountingEncoder>(Waiting.Frames, Waiting.Largest);
    ASSERT_TRUE(Channel.ArmCut(Cut));
    const std::vector<int16_t> Second(Rate, 0);
    Feed.Deliver(Second.data(), Second.size() * 2, Moment - 1'000'000'000);
    Channel.DeliverPending();
    std::unique_ptr<TCut> Back = Channel.DisarmCut();
    ASSERT_NE(Back, nullptr);
    EXPECT_EQ(Back->NextHandle, 2u);
    Feed.Deliver(Second.data(), Second.size() * 2, Moment);
    Channel.DeliverPending();
    EXPECT_EQ(Kept.Frames, 2 * size_t{Rate});
    EXPECT_EQ(Waiting.Frames, 0u);
    EXPECT_EQ(Channel.TakeFinishedAtCut(1), std::nullopt);
    Channel.Stop();
}

} // namespace
