#include "control/Coverage.h"

namespace {

const TGapCauseNames& NamesOf(TGapCause Cause) {
    return GapCauses[static_cast<std::size_t>(Cause)];
}

QString Text(std::string_view Name) {
    return QString::fromUtf8(Name.data(), static_cast<qsizetype>(Name.size()));
}

} // namespace

QString GapCauseCode(TGapCause Cause) {
    return Text(NamesOf(Cause).Code);
}

QString GapCauseDutch(TGapCause Cause) {
    return Text(NamesOf(Cause).Dutch);
}

std::optional<TGapCause> GapCauseFromCode(const QString& Code) {
    for (const TGapCauseNames& Names : GapCauses)
        if (Code == Text(Names.Code))
            return Names.Cause;
    return std::nullopt;
}
