#include "control/TroubleTracker.h"

#include "control/ClockWatch.h"
#include "control/StatusText.h"

#include <algorithm>

namespace {

bool HasKind(const std::vector<TTrouble>& List, TTroubleKind Kind) {
    return std::any_of(List.begin(), List.end(),
                       [Kind](const TTrouble& T) { return T.Kind == Kind; });
}

// The troubles of From whose kind Other lacks.
std::vector<TTrouble> KindsMissing(const std::vector<TTrouble>& From,
                                   const std::vector<TTrouble>& Other) {
    std::vector<TTrouble> Missing;
    for (const TTrouble& T : From)
        if (!HasKind(Other, T.Kind))
            Missing.push_back(T);
    return Missing;
}

} // namespace

QDateTime TTroubleTracker::SinceFor(TTroubleKind Kind, const QDateTime& Moment) const {
    for (const TTrouble& T : FCurrent)
        if (T.Kind == Kind)
            return T.Since;
    return Moment;
}

TTroubleTracker::TChange TTroubleTracker::Update(const QDateTime& Moment,
                                                 const TTroubleSigns& Signs) {
    const bool WritesFail = Signs.Recording && Signs.WritesFail;
    if (!Signs.RetryPending && !WritesFail)
        FStoppedTicks = 0;
    else if (FStoppedTicks++ == 0)
        FStoppedSince = Moment;

    std::vector<TTrouble> Now;
    const auto Add = [&](TTroubleKind Kind, const QDateTime& Since, const QString& Text) {
        Now.push_back({Kind, Since, Text, Signs.File, QDateTime()});
    };
    // Since when a condition that has lasted Seconds up to Moment holds; a trouble that lasts
    // keeps the moment it began.
    const auto LastedSince = [&](TTroubleKind Kind, double Seconds) {
        return SinceFor(Kind, Moment.addMSecs(-static_cast<int64_t>(Seconds * 1000)));
    };
    // A stop or a failing write counts from the second tick on: a retry or a new hour may
    // mend it at once.
    if (FStoppedTicks > 1) {
        if (WritesFail || Signs.StartFileFails)
            Add(TTroubleKind::WritesFailing, FStoppedSince,
                ControlText::WritesFailingSince(FStoppedSince));
        else if (Signs.WaitsForRoom)
            Add(TTroubleKind::VolumeFull, FStoppedSince,
                ControlText::NoRecordingSince(FStoppedSince, true));
        else
            Add(TTroubleKind::CaptureLost, FStoppedSince,
                ControlText::NoRecordingSince(FStoppedSince, false));
    }
    if (Signs.Recording && Signs.SecondsWithoutAudio >= NoAudioSeconds) {
        const QDateTime Since = LastedSince(TTroubleKind::NoAudio, Signs.SecondsWithoutAudio);
        Add(TTroubleKind::NoAudio, Since, ControlText::NoAudioSince(Since));
    }
    // Lost audio counts at once, and for the rest of the recording: the gap stays in its file.
    if (Signs.Recording && Signs.DroppedSeconds > 0) {
        const QDateTime Since = LastedSince(TTroubleKind::AudioDropped, 0);
        Add(TTroubleKind::AudioDropped, Since, ControlText::AudioLost(Since, Signs.DroppedSeconds));
    }
    if (Signs.Recording && Signs.SilenceLimit > 0 && Signs.SilentSeconds >= Signs.SilenceLimit) {
        const QDateTime Since = LastedSince(TTroubleKind::Silence, Signs.SilentSeconds);
        Add(TTroubleKind::Silence, Since, ControlText::SilenceSince(Since));
    }
    // The clock concerns every recording alike, not the one that runs.
    if (Signs.ClockUnsyncedLimit > 0 && Signs.ClockUnsyncedSeconds >= Signs.ClockUnsyncedLimit) {
        const QDateTime Since = LastedSince(TTroubleKind::Clock, Signs.ClockUnsyncedSeconds);
        Now.push_back({TTroubleKind::Clock, Since,
                       ClockUnsyncedText(Since, Signs.ClockMaxErrorMicroseconds), QString(),
                       QDateTime()});
    }
    if (Signs.FreeSpaceLow)
        Add(TTroubleKind::LowSpace, LastedSince(TTroubleKind::LowSpace, 0),
            ControlText::LowSpace(Signs.FreeSpaceNeeded));

    TChange Change{KindsMissing(FCurrent, Now), KindsMissing(Now, FCurrent)};
    for (TTrouble& T : Change.Ended)
        T.Until = Moment;
    FCurrent = std::move(Now);
    return Change;
}

QString TTroubleTracker::Text() const {
    for (const TTrouble& T : FCurrent)
        if (T.Kind != TTroubleKind::LowSpace)
            return T.Text;
    return {};
}
