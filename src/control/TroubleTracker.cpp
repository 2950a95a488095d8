#include "control/TroubleTracker.h"

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
    // A stop or a failing write counts from the second tick on: a retry or a new hour may
    // mend it at once.
    if (FStoppedTicks > 1) {
        if (WritesFail)
            Now.push_back({TTroubleKind::WritesFailing, FStoppedSince,
                           ControlText::WritesFailingSince(FStoppedSince)});
        else if (Signs.WaitsForRoom)
            Now.push_back({TTroubleKind::VolumeFull, FStoppedSince,
                           ControlText::NoRecordingSince(FStoppedSince, true)});
        else
            Now.push_back({TTroubleKind::CaptureLost, FStoppedSince,
                           ControlText::NoRecordingSince(FStoppedSince, false)});
    }
    if (Signs.Recording && Signs.SecondsWithoutAudio >= NoAudioSeconds) {
        const QDateTime Since =
            SinceFor(TTroubleKind::NoAudio,
                     Moment.addMSecs(-static_cast<int64_t>(Signs.SecondsWithoutAudio * 1000)));
        Now.push_back({TTroubleKind::NoAudio, Since, ControlText::NoAudioSince(Since)});
    }
    // Lost audio counts at once, and for the rest of the recording: the gap stays in its file.
    if (Signs.Recording && Signs.DroppedSeconds > 0) {
        const QDateTime Since = SinceFor(TTroubleKind::AudioDropped, Moment);
        Now.push_back({TTroubleKind::AudioDropped, Since,
                       ControlText::AudioLost(Since, Signs.DroppedSeconds)});
    }

    TChange Change{KindsMissing(FCurrent, Now), KindsMissing(Now, FCurrent)};
    FCurrent = std::move(Now);
    return Change;
}

QString TTroubleTracker::Text() const {
    return FCurrent.empty() ? QString() : FCurrent.front().Text;
}
