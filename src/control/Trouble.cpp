#include "control/Trouble.h"

namespace {

// "45 s", "3 min 5 s" or "2 u 7 min".
QString LengthText(int64_t Seconds) {
    if (Seconds < 60)
        return QStringLiteral("%1 s").arg(Seconds);
    if (Seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(Seconds / 60).arg(Seconds % 60);
    return QStringLiteral("%1 u %2 min").arg(Seconds / 3600).arg(Seconds % 3600 / 60);
}

} // namespace

QString TroubleKindName(TTroubleKind Kind) {
    switch (Kind) {
    case TTroubleKind::CaptureLost:
        return QStringLiteral("capture");
    case TTroubleKind::VolumeFull:
        return QStringLiteral("volume-full");
    case TTroubleKind::WritesFailing:
        return QStringLiteral("write");
    case TTroubleKind::NoAudio:
        return QStringLiteral("stalled");
    case TTroubleKind::AudioDropped:
        return QStringLiteral("dropped");
    case TTroubleKind::Silence:
        return QStringLiteral("silence");
    case TTroubleKind::LowSpace:
        return QStringLiteral("low-space");
    }
    return {};
}

QString TroubleEndText(const TTrouble& Trouble) {
    const int64_t Seconds = std::max<int64_t>(0, Trouble.Since.secsTo(Trouble.Until));
    return QStringLiteral("%1: voorbij na %2").arg(Trouble.Text, LengthText(Seconds));
}
