#include "control/HourCheck.h"

#include "base/RegionalText.h"

#include <cmath>

namespace {

// "14:00" with the regional time separator.
QString HourMinute(const QDateTime& Moment) {
    return QString::asprintf("%02d", Moment.time().hour()) + TimeSeparator() +
           QString::asprintf("%02d", Moment.time().minute());
}

// The names of the cause of the most missing seconds in Gaps; the first of the table on a
// tie. Null without gaps.
const TGapCauseNames* MainCause(const QVector<TCoverageGap>& Gaps) {
    const TGapCauseNames* Main = nullptr;
    double Most = 0;
    for (const TGapCauseNames& Names : GapCauses) {
        double Seconds = 0;
        for (const TCoverageGap& Gap : Gaps)
            if (Gap.Cause == Names.Cause)
                Seconds += Gap.Seconds();
        if (Seconds > Most) {
            Most = Seconds;
            Main = &Names;
        }
    }
    return Main;
}

} // namespace

std::optional<TTrouble> IncompleteHourTrouble(const TCoverageHour& Hour, int32_t MaxGapSeconds) {
    // Compared as the text shows it, so that the text never names an amount within the limit.
    const double Missing = std::round(Hour.MissingSeconds * 10) / 10;
    if (!Hour.Scheduled || Missing <= MaxGapSeconds)
        return std::nullopt;
    QString Text = QStringLiteral("Uur %1–%2 onvolledig: %3 ontbreekt")
                       .arg(HourMinute(Hour.Start), HourMinute(Hour.End), SecondsText(Missing));
    if (const TGapCauseNames* Cause = MainCause(Hour.Gaps))
        Text += QStringLiteral(" (%1)").arg(
            QString::fromUtf8(Cause->Dutch.data(), static_cast<qsizetype>(Cause->Dutch.size())));
    return TTrouble{TTroubleKind::Incomplete, Hour.End, Text, QString(), Hour.End};
}
