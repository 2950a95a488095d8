#include "control/FreeSpacePolicy.h"
#include "control/RetryPolicy.h"
#include "support/Presets.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QDateTime At(const char* Local) {
    return QDateTime::fromString(QString::fromLatin1(Local), Qt::ISODate);
}

constexpr int64_t MiB = FreeSpace::OneMiB;
constexpr int64_t GiB = FreeSpace::OneGiB;

} // namespace

// Planned at 14:20:00: a try is due every 5 s from then on, within the hour only, and after a
// full volume only once the awaited room is free.
TEST(RetryPolicy, DueEveryFiveSecondsWithinTheHourAndOnceRoomIsMade) {
    const struct {
        const char* Moment;
        int64_t Awaited;
        int64_t Free;
        bool Due;
        bool Expired;
    } Cases[] = {
        {"2026-03-05T14:20:04", 0, GiB, false, false},
        {"2026-03-05T14:20:05", 0, GiB, true, false},
        {"2026-03-05T14:59:59", 0, GiB, true, false},
        {"2026-03-05T15:00:00", 0, GiB, false, true},
        {"2026-03-05T14:20:05", 0, -1, true, false}, // free space unknown: the device decides
        {"2026-03-05T14:20:05", 100 * MiB, 99 * MiB, false, false},
        {"2026-03-05T14:20:05", 100 * MiB, 100 * MiB, true, false},
        {"2026-03-05T14:20:05", 100 * MiB, -1, false, false},
    };
    for (const auto& C : Cases) {
        const TRetryPolicy Retry(Preset(afWAV, 8000, 1, 0), "bron", At("2026-03-05T14:20:00"),
                                 C.Awaited);
        EXPECT_EQ(Retry.Due(At(C.Moment), C.Free), C.Due) << C.Moment << " " << C.Free;
        EXPECT_EQ(Retry.Expired(At(C.Moment)), C.Expired) << C.Moment;
        EXPECT_EQ(Retry.WaitsForRoom(), C.Awaited > 0);
    }
}

TEST(RetryPolicy, ATryPutsTheNextFiveSecondsLater) {
    TRetryPolicy Retry(Preset(afWAV, 8000, 1, 0), "bron", At("2026-03-05T14:20:00"), 0);
    Retry.Tried(At("2026-03-05T14:20:07"));
    EXPECT_FALSE(Retry.Due(At("2026-03-05T14:20:11"), GiB));
    EXPECT_TRUE(Retry.Due(At("2026-03-05T14:20:12"), GiB));
}

TEST(FreeSpacePolicy, AnHourOfTheRunningPresetAndNeverLessThanAGibibyte) {
    const struct {
        const char* Name;
        std::optional<TPreset> Running;
        int64_t Needed;
    } Cases[] = {
        {"nothing runs", std::nullopt, GiB},
        {"MP3 128", Preset(afMP3, 44100, 2, 128), GiB},
        {"WAV 44.1 kHz stereo", Preset(afWAV, 44100, 2, 0), GiB},
        {"WAV 96 kHz stereo", Preset(afWAV, 96000, 2, 0), int64_t{96000} * 4 * 3600},
        {"WAV 8 kHz mono", Preset(afWAV, 8000, 1, 0), GiB},
        {"OPUS 10000", Preset(afOPUS, 48000, 2, 10000), int64_t{10000} * 1000 / 8 * 3600},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(FreeSpace::Needed(C.Running), C.Needed) << C.Name;
}

TEST(FreeSpacePolicy, LowSpaceAndTheRoomARetryWaitsFor) {
    const struct {
        int64_t Free;
        bool Low;
        int64_t Awaited;
    } Cases[] = {
        {-1, false, 0},             // unknown: neither warned nor waited for
        {0, true, 64 * MiB},        // full: waits for 64 MiB
        {10 * MiB, true, 74 * MiB}, // almost full: 64 MiB more than now
        {64 * MiB, true, 0},        // room enough to try at once
        {GiB - 1, true, 0},         // below a gibibyte: warned
        {GiB, false, 0},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(FreeSpace::Low(C.Free, GiB), C.Low) << C.Free;
        EXPECT_EQ(FreeSpace::AwaitedForStart(C.Free), C.Awaited) << C.Free;
    }
}
