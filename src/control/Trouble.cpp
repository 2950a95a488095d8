#include "control/Trouble.h"

#include "base/RegionalText.h"

#include <cmath>

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
    const std::string_view Code = TroubleKindNames(Kind).Code;
    return QString::fromLatin1(Code.data(), static_cast<qsizetype>(Code.size()));
}

QString TroubleKindDutchName(TTroubleKind Kind) {
    const std::string_view Dutch = TroubleKindNames(Kind).Dutch;
    return QString::fromUtf8(Dutch.data(), static_cast<qsizetype>(Dutch.size()));
}

std::optional<TTroubleKind> TroubleKindFromName(const QString& Code) {
    for (const TTroubleKindNames& Names : TroubleKinds)
        if (Code == QLatin1StringView(Names.Code.data(), Names.Code.size()))
            return Names.Kind;
    return std::nullopt;
}

QString SecondsText(double Seconds) {
    const auto Tenths = static_cast<int64_t>(std::llround(Seconds * 10));
    return GroupedNumber(Tenths / 10) + QLocale().decimalPoint() + QString::number(Tenths % 10) +
           QStringLiteral(" s");
}

QString TroubleEndText(const TTrouble& Trouble) {
    if (TroubleKindNames(Trouble.Kind).Instant)
        return Trouble.Text;
    const int64_t Seconds = std::max<int64_t>(0, Trouble.Since.secsTo(Trouble.Until));
    return QStringLiteral("%1: voorbij na %2").arg(Trouble.Text, LengthText(Seconds));
}
