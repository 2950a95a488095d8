#include "soundlib/FrameTimes.h"

#include <ctime>
#include <utility>

namespace soundlib {

namespace {
// Marks come with every block, some hundred a second at the most; these last longer than the
// capture queue holds audio.
constexpr size_t MarkCapacity = 8192;
} // namespace

int64_t RealtimeNanoseconds() {
    timespec Now{};
    clock_gettime(CLOCK_REALTIME, &Now);
    return int64_t{Now.tv_sec} * 1'000'000'000 + Now.tv_nsec;
}

TFrameTimes::TFrameTimes(uint32_t Rate)
    : FRate(Rate), FMarks(MarkCapacity * sizeof(TMark), TRingPages::Keep) {}

void TFrameTimes::Mark(uint64_t Frame, int64_t Nanoseconds) {
    const TMark Entry{Frame, Nanoseconds};
    FMarks.Write(&Entry, sizeof Entry);
}

bool TFrameTimes::PeekNext() {
    if (FNext)
        return true;
    TMark Entry{};
    if (FMarks.ReadSpace() < sizeof Entry)
        return false;
    FMarks.Read(&Entry, sizeof Entry);
    FNext = Entry;
    return true;
}

std::optional<int64_t> TFrameTimes::TimeOf(uint64_t Frame) {
    while (PeekNext() && FNext->Frame <= Frame)
        FCurrent = std::exchange(FNext, std::nullopt);
    if (!FCurrent)
        return std::nullopt;
    const auto Ahead = static_cast<int64_t>(Frame - FCurrent->Frame);
    return FCurrent->Nanoseconds + Ahead * 1'000'000'000 / FRate;
}

} // namespace soundlib
