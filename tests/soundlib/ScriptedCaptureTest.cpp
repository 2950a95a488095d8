#include "CaptureHelpers.h"

#include "soundlib/CaptureBackend.h"
#include "soundlib/ScriptedBackend.h"
#include "soundlib/bass.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <thread>

using namespace std::chrono_literals;
using soundlib::TScript;

namespace {

class ScriptedCapture : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }

    static void Install(TScript Script) {
        soundlib::InstallScriptedBackend(std::move(Script));
        ASSERT_TRUE(BASS_RecordInit(-1));
    }

    // Records Duration on a new channel at Rate, stereo, into Into (through TInto::Proc).
    template <typename TInto>
    static void Record(TInto& Into, std::chrono::milliseconds Duration, DWORD Rate = 48000) {
        const HRECORD Channel = BASS_RecordStart(Rate, 2, 0, TInto::Proc, &Into);
        ASSERT_NE(Channel, 0u);
        std::this_thread::sleep_for(Duration);
        ASSERT_TRUE(BASS_ChannelStop(Channel));
    }
};

std::vector<int16_t> Noise(size_t Count, unsigned Seed) {
    std::mt19937 Random(Seed);
    std::vector<int16_t> Samples(Count);
    for (int16_t& S : Samples)
        S = static_cast<int16_t>(Random());
    return Samples;
}

} // namespace

TEST_F(ScriptedCapture, BlocksArriveInOrderAndUnchangedOnTheLibrarysThread) {
    const std::vector<int16_t> Samples = Noise(8000 * 2 * 3, 7); // 3 s, 8000 Hz stereo
    Install({.Signal = soundlib::SamplesSignal(Samples, 2), .Speed = 0});
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(8000, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(Channel), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(WaitUntil([&] { return Got.Bytes >= Samples.size() * 2; }, 10s));
    ASSERT_TRUE(BASS_ChannelStop(Channel));
    EXPECT_EQ(BASS_ChannelIsActive(Channel), BASS_ACTIVE_STOPPED);
    EXPECT_TRUE(Got.Copy() == Samples);
    EXPECT_FALSE(Got.OnCallerThread);
}

// A server that sends fragments of a few milliseconds: the callback still comes at the meters'
// rhythm, some twenty times a second, and never with more than LongestDelivery.
TEST_F(ScriptedCapture, SmallFragmentsReachTheCallbackInBlocksOfTheDeliveryPeriod) {
    Install({.Signal = soundlib::ToneSignal(440, 0.5), .Block = 2ms});
    struct TBlocks {
        std::atomic<int> Calls{0};
        std::atomic<DWORD> Largest{0};
        static BOOL Proc(HRECORD, const void*, DWORD Length, void* User) {
            auto* Self = static_cast<TBlocks*>(User);
            ++Self->Calls;
            Self->Largest = std::max<DWORD>(Self->Largest, Length);
            return 1;
        }
    } Blocks;
    Record(Blocks, 1s);
    EXPECT_GE(Blocks.Calls, 8);
    EXPECT_LE(Blocks.Calls, 30) << "a wake-up per fragment would be some 500";
    EXPECT_LE(Blocks.Largest, 48000 * 4 * soundlib::LongestDelivery.count() / 1000);
}

// A source that trickles, a tenth of real time, never gathers DeliveryPeriod of audio: it
// still reaches the callback about every LongestDelivery, not only when the thread times out.
TEST_F(ScriptedCapture, ATricklingSourceStillReachesTheCallbackInTime) {
    Install({.Signal = soundlib::ToneSignal(440, 0.5), .Speed = 0.1, .Block = 2ms});
    struct TCalls {
        std::mutex Mutex;
        std::vector<std::chrono::steady_clock::time_point> Times;
        static BOOL Proc(HRECORD, const void*, DWORD, void* User) {
            auto* Self = static_cast<TCalls*>(User);
            std::lock_guard Lock(Self->Mutex);
            Self->Times.push_back(std::chrono::steady_clock::now());
            return 1;
        }
    } Calls;
    Record(Calls, 1500ms);
    ASSERT_GE(Calls.Times.size(), 2u);
    std::chrono::steady_clock::duration Longest{};
    for (size_t I = 1; I < Calls.Times.size(); ++I)
        Longest = std::max(Longest, Calls.Times[I] - Calls.Times[I - 1]);
    EXPECT_LE(Longest, 400ms) << Calls.Times.size() << " calls";
}

// Audio that waits below the wake-up threshold when the channel stops still reaches the
// callback before BASS_ChannelStop returns: the end of an hour's file is complete.
TEST_F(ScriptedCapture, AStopTakesTheAudioCapturedBeforeIt) {
    const std::vector<int16_t> Samples = Noise(48 * 2 * 20, 5); // 20 ms, 48 kHz stereo
    Install({.Signal = soundlib::SamplesSignal(Samples, 2), .Block = 2ms});
    TCollected Got;
    Record(Got, 70ms); // stops before the recording thread's own rhythm would take it
    EXPECT_TRUE(Got.Copy() == Samples) << Got.Bytes << " of " << Samples.size() * 2 << " bytes";
}

// Many short channels, stopped at random moments while blocks flow: once BASS_ChannelStop
// has returned, that channel's callback never runs again.
TEST_F(ScriptedCapture, NoCallbackRunsAfterStopReturns) {
    Install({.Signal = soundlib::ToneSignal(440, 0.5), .Block = 2ms});
    struct TWatch {
        std::atomic<bool> Stopped{false};
        std::atomic<int> Calls{0};
        std::atomic<int> Late{0};
        static BOOL Proc(HRECORD, const void*, DWORD, void* User) {
            auto* Self = static_cast<TWatch*>(User);
            if (Self->Stopped)
                ++Self->Late;
            ++Self->Calls;
            std::this_thread::sleep_for(1ms); // a callback that takes a while, like a disk write
            return 1;
        }
    };
    std::mt19937 Random(3);
    std::vector<TWatch> Watches(120);
    int Calls = 0, Late = 0;
    for (size_t I = 0; I < Watches.size(); ++I) {
        const DWORD Channels = I % 3 == 0 ? 1 : 2; // some starts continue a stream, some not
        const HRECORD Channel = BASS_RecordStart(44100, Channels, 0, TWatch::Proc, &Watches[I]);
        ASSERT_NE(Channel, 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(Random() % 120));
        ASSERT_TRUE(BASS_ChannelStop(Channel));
        Watches[I].Stopped = true;
    }
    std::this_thread::sleep_for(200ms);
    for (TWatch& W : Watches) {
        Calls += W.Calls;
        Late += W.Late;
    }
    EXPECT_GT(Calls, 100) << "the channels must have delivered";
    EXPECT_EQ(Late, 0);
}

// At an hour boundary one channel stops and the next starts on the same device and format:
// together they hold every sample once, whether the gap is short or nearly a second.
TEST_F(ScriptedCapture, NextChannelContinuesWithTheVeryNextSample) {
    for (const auto Gap : {0ms, 600ms}) {
        Install({.Signal = soundlib::CounterSignal()});
        TCollected First, Second;
        Record(First, 400ms);
        std::this_thread::sleep_for(Gap);
        Record(Second, 400ms);
        const std::vector<int16_t> A = First.Copy(), B = Second.Copy();
        ASSERT_GT(A.size(), 2u);
        ASSERT_GT(B.size(), 2u);
        std::vector<int16_t> Joined = A;
        Joined.insert(Joined.end(), B.begin(), B.end());
        size_t Breaks = 0;
        for (size_t F = 1; F < Joined.size() / 2; ++F)
            Breaks += CounterAt(Joined, F) != CounterAt(Joined, F - 1) + 1;
        EXPECT_EQ(Breaks, 0u) << "gap " << Gap.count() << " ms";
        BASS_Free();
    }
}

// The gap between two channels is counted: none when the next continues the capture, the
// time in between when it cannot (another format), none for a first channel.
TEST_F(ScriptedCapture, TheGapBetweenTwoChannelsIsCounted) {
    Install({.Signal = soundlib::ToneSignal(440, 0.5)});
    TCollected Got;
    const HRECORD First = BASS_RecordStart(48000, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(First, 0u);
    EXPECT_EQ(soundlib::ChannelGapFrames(First), 0u);
    ASSERT_TRUE(BASS_ChannelStop(First));
    const HRECORD Same = BASS_RecordStart(48000, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Same, 0u);
    EXPECT_EQ(soundlib::ChannelGapFrames(Same), 0u);
    ASSERT_TRUE(BASS_ChannelStop(Same));
    std::this_thread::sleep_for(200ms);
    const HRECORD Other = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Other, 0u);
    EXPECT_GE(soundlib::ChannelGapFrames(Other), 44100u / 5);
    EXPECT_LT(soundlib::ChannelGapFrames(Other), 44100u);
    ASSERT_TRUE(BASS_ChannelStop(Other));
    EXPECT_EQ(soundlib::ChannelGapFrames(Other), 0u) << "unknown once stopped";
}

// After a longer pause the next channel starts with what the device hears now, not with
// audio buffered during the pause.
TEST_F(ScriptedCapture, AfterALongerPauseTheNextChannelHoldsNoStaleAudio) {
    Install({.Signal = soundlib::CounterSignal()});
    TCollected First, Second;
    Record(First, 300ms);
    std::this_thread::sleep_for(3s);
    Record(Second, 300ms);
    const std::vector<int16_t> A = First.Copy(), B = Second.Copy();
    ASSERT_FALSE(A.empty());
    ASSERT_FALSE(B.empty());
    const uint32_t LastOfFirst = CounterAt(A, A.size() / 2 - 1);
    const uint32_t FirstOfSecond = CounterAt(B, 0);
    EXPECT_GE(FirstOfSecond, LastOfFirst + 48000 * 29 / 10) << "about 3 s later";
    EXPECT_LE(FirstOfSecond, LastOfFirst + 48000 * 4);
}

// A callback that stalls (a hung disk) makes the ring fill up: what cannot be kept is counted
// and the channel goes on with current audio afterwards.
TEST_F(ScriptedCapture, AFullRingIsCountedNotSilent) {
    Install({.Signal = soundlib::CounterSignal(), .Speed = 40});
    struct TStall {
        TCollected Collected;
        std::atomic<bool> Hold{true};
        static BOOL Proc(HRECORD Handle, const void* Buffer, DWORD Length, void* User) {
            auto* Self = static_cast<TStall*>(User);
            while (Self->Hold)
                std::this_thread::sleep_for(5ms);
            return TCollected::Proc(Handle, Buffer, Length, &Self->Collected);
        }
    } Stall;
    const HRECORD Channel = BASS_RecordStart(8000, 2, 0, TStall::Proc, &Stall);
    ASSERT_NE(Channel, 0u);
    // 40 times real time fills the ring's 30 s and more in about a second.
    EXPECT_TRUE(WaitUntil([&] { return soundlib::ChannelDroppedBytes(Channel) > 0; }, 5s));
    Stall.Hold = false;
    EXPECT_TRUE(WaitUntil([&] { return Stall.Collected.Bytes > 8000 * 4 * 40; }, 5s));
    const uint64_t Dropped = soundlib::ChannelDroppedBytes(Channel);
    ASSERT_TRUE(BASS_ChannelStop(Channel));
    const std::vector<int16_t> Got = Stall.Collected.Copy();
    const size_t Frames = Got.size() / 2;
    const uint64_t Spanned = CounterAt(Got, Frames - 1) - CounterAt(Got, 0) + 1;
    EXPECT_GE(Dropped, 4u * (Spanned - Frames)) << "every lost frame is counted";
    EXPECT_GT(Spanned, Frames);
}

TEST_F(ScriptedCapture, LosingTheServerEndsTheCaptureAndTheNextStartReconnects) {
    Install({.Signal = soundlib::ToneSignal(1000, 0.5)});
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 0; }, 2s));
    soundlib::SetScriptedServerUp(false);
    EXPECT_TRUE(
        WaitUntil([&] { return BASS_ChannelIsActive(Channel) == BASS_ACTIVE_STOPPED; }, 1s));
    EXPECT_TRUE(BASS_ChannelStop(Channel));
    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    soundlib::SetScriptedServerUp(true);
    const HRECORD Again = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Again, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(Again), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(BASS_ChannelStop(Again));
}

TEST_F(ScriptedCapture, DevicesAreListedInOrderWithTheirState) {
    soundlib::InstallScriptedBackend(
        {.Devices = {{"Microfoon", true}, {"Lijningang", false}, {"Monitor", true}}});
    std::vector<std::pair<std::string, DWORD>> Listed;
    BASS_DEVICEINFO Info{};
    for (DWORD I = 0; BASS_RecordGetDeviceInfo(I, &Info); ++I)
        Listed.emplace_back(Info.name, Info.flags & BASS_DEVICE_ENABLED);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    const decltype(Listed) Expected = {{"Microfoon", 1}, {"Lijningang", 0}, {"Monitor", 1}};
    EXPECT_EQ(Listed, Expected);
}

// Each failing call names its reason; the code belongs to the thread that made the call.
TEST_F(ScriptedCapture, FailingCallsGiveTheirErrorCode) {
    soundlib::InstallScriptedBackend({});
    TCollected Got;
    const struct {
        const char* Call;
        std::function<DWORD()> Run;
        int Code;
    } Cases[] = {
        {"start without a device",
         [&] { return BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got); }, BASS_ERROR_INIT},
        {"device past the end", [] { return DWORD(BASS_RecordInit(1)); }, BASS_ERROR_DEVICE},
        {"free without a device", [] { return DWORD(BASS_RecordFree()); }, BASS_ERROR_INIT},
        {"default device", [] { return DWORD(BASS_RecordInit(-1)); }, BASS_OK},
        {"second device", [] { return DWORD(BASS_RecordInit(0)); }, BASS_ERROR_ALREADY},
        {"rate 0", [&] { return BASS_RecordStart(0, 2, 0, TCollected::Proc, &Got); },
         BASS_ERROR_FREQ},
        {"three channels", [&] { return BASS_RecordStart(44100, 3, 0, TCollected::Proc, &Got); },
         BASS_ERROR_FORMAT},
        {"float samples", [&] { return BASS_RecordStart(44100, 2, 0x100, TCollected::Proc, &Got); },
         BASS_ERROR_ILLPARAM},
        {"stop unknown channel", [] { return DWORD(BASS_ChannelStop(12345)); }, BASS_ERROR_HANDLE},
        {"encode unknown channel",
         [] { return BASS_Encode_MP3_StartFile(12345, "-b 128", BASS_UNICODE, "/tmp/x.mp3"); },
         BASS_ERROR_HANDLE},
        {"stop unknown encoder", [] { return DWORD(BASS_Encode_Stop(12345)); }, BASS_ERROR_HANDLE},
        {"output device", [] { return DWORD(BASS_Init(1, 44100, 0, nullptr, nullptr)); },
         BASS_ERROR_DEVICE},
        {"no output", [] { return DWORD(BASS_Init(0, 44100, 0, nullptr, nullptr)); }, BASS_OK},
        {"init twice", [] { return DWORD(BASS_Init(0, 44100, 0, nullptr, nullptr)); },
         BASS_ERROR_ALREADY},
    };
    for (const auto& Case : Cases) {
        const DWORD Result = Case.Run();
        EXPECT_EQ(Result != 0, Case.Code == BASS_OK) << Case.Call;
        EXPECT_EQ(BASS_ErrorGetCode(), Case.Code) << Case.Call;
    }
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    EXPECT_EQ(BASS_Encode_MP3_StartFile(Channel, "-b 128", BASS_UNICODE, "/nonexistent/x.mp3"), 0u);
    EXPECT_TRUE(BASS_ChannelStop(Channel));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_CREATE) << "a successful stop keeps the code";
    int OtherThread = -2;
    std::thread([&] { OtherThread = BASS_ErrorGetCode(); }).join();
    EXPECT_EQ(OtherThread, BASS_OK);
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}
