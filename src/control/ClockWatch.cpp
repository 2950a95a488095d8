#include "control/ClockWatch.h"

#include "control/StatusText.h"
#include "control/Trouble.h"

#include <cstdlib>
#include <sys/timex.h>
#include <utility>

std::optional<TClockStatus> KernelClockStatus() {
    timex Status{};
    Status.modes = 0; // read only
    const int State = ::adjtimex(&Status);
    if (State == -1)
        return std::nullopt;
    return TClockStatus{State != TIME_ERROR && (Status.status & STA_UNSYNC) == 0,
                        static_cast<int64_t>(Status.maxerror)};
}

QString ClockStepText(const TClockStep& Step) {
    return QStringLiteral("De klok is %1 %2.")
        .arg(SecondsText(static_cast<double>(std::llabs(Step.Milliseconds)) / 1000.0),
             Step.Milliseconds > 0 ? QStringLiteral("vooruitgezet") : QStringLiteral("teruggezet"));
}

QString ClockUnsyncedText(const QDateTime& Since, int64_t MaxErrorMicroseconds) {
    return QStringLiteral("De klok van deze computer is sinds %1 niet gelijkgezet met een "
                          "tijdserver; opnametijden kunnen afwijken (maximale fout %2).")
        .arg(ControlText::ClockTime(Since),
             SecondsText(static_cast<double>(MaxErrorMicroseconds) / 1e6));
}

TClockWatch::TClockWatch(TClock Clock, TElapsedClock Elapsed, TClockProbe Probe)
    : FClock(std::move(Clock)), FElapsed(std::move(Elapsed)), FProbe(std::move(Probe)) {}

std::optional<TClockStep> TClockWatch::Tick() {
    const int64_t Elapsed = FElapsed();
    const QDateTime Wall = FClock();
    FTickedAt = Elapsed;
    if (!FProbedAt || Elapsed - *FProbedAt >= ProbeMilliseconds) {
        FProbedAt = Elapsed;
        FCurrent = FProbe();
        if (!FCurrent || FCurrent->Synced)
            FUnsyncedSince.reset();
        else if (!FUnsyncedSince)
            FUnsyncedSince = Elapsed;
    }
    const int64_t Offset = Wall.toMSecsSinceEpoch() - Elapsed;
    const std::optional<int64_t> Last = std::exchange(FOffset, Offset);
    if (!Last || std::llabs(Offset - *Last) <= StepMilliseconds)
        return std::nullopt;
    const int64_t Step = Offset - *Last;
    return TClockStep{Step, Wall.addMSecs(-Step), Wall};
}

double TClockWatch::UnsyncedSeconds() const {
    return FUnsyncedSince ? static_cast<double>(FTickedAt - *FUnsyncedSince) / 1000.0 : 0;
}
