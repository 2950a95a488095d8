#include "control/EventJournal.h"

#include "control/StatusText.h"
#include "data/uData.h"

#include <utility>

QString EventKindDutchName(const QString& Code) {
    if (const std::optional<TTroubleKind> Kind = TroubleKindFromName(Code))
        return TroubleKindDutchName(*Kind);
    if (Code == EventKind::Command)
        return QStringLiteral("alarmopdracht");
    if (Code == EventKind::Repair)
        return QStringLiteral("herstel");
    if (Code == EventKind::Retention)
        return QStringLiteral("opruimen");
    return Code;
}

TEventJournal::TEventJournal(std::unique_ptr<TLogData>& Data, TClock Clock, QObject* Parent)
    : QObject(Parent), FData(Data), FClock(std::move(Clock)) {}

void TEventJournal::TroubleBegan(const TTrouble& Trouble) {
    if (!TroubleKindNames(Trouble.Kind).Instant)
        Write(QStringLiteral("begin"), TroubleKindName(Trouble.Kind), Trouble.Text, Trouble.File);
}

void TEventJournal::TroubleEnded(const TTrouble& Trouble) {
    const bool Instant = TroubleKindNames(Trouble.Kind).Instant;
    Write(Instant ? QStringLiteral("melding") : QStringLiteral("einde"),
          TroubleKindName(Trouble.Kind), TroubleEndText(Trouble), Trouble.File);
}

void TEventJournal::ClockStepped(const TClockStep& Step) {
    Write(QStringLiteral("stap"), TroubleKindName(TTroubleKind::Clock), ClockStepText(Step));
}

void TEventJournal::CommandRan(const QString& Text) {
    Write(QStringLiteral("opdracht"), EventKind::Command, Text);
}

void TEventJournal::Repaired(const QString& Text) {
    Write(QStringLiteral("herstel"), EventKind::Repair, Text);
}

TEventRow DeletionEvent(const TRetentionDeletion& Deletion, const QDateTime& At) {
    return {At, QStringLiteral("verwijderd"), EventKind::Retention,
            ControlText::RetentionDeleted(
                Deletion.Path, static_cast<int>(Deletion.StartedAt.daysTo(At)), Deletion.Bytes),
            Deletion.Path};
}

void TEventJournal::Write(const QString& Event, const QString& Kind, const QString& Text,
                          const QString& FilePath) {
    if (!FData)
        return;
    // The events log comes second to the recording: a database that refuses the row is
    // reported, and the run goes on.
    try {
        FData->LogEvent(FClock(), Event, Kind, Text, FilePath);
        FFailureReported = false;
    } catch (const EDatabaseError& E) {
        if (!std::exchange(FFailureReported, true))
            emit WriteFailed(
                QStringLiteral("Gebeurtenis niet opgeslagen: %1").arg(QString::fromUtf8(E.what())));
    }
}
