#include "control/AlertCommand.h"

#include "control/CommandLine.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <memory>
#include <utility>

namespace {

// ISO 8601 with the offset from UTC, for example "2026-03-05T14:00:03+01:00".
QString IsoWithOffset(const QDateTime& Moment) {
    return Moment.toOffsetFromUtc(Moment.offsetFromUtc()).toString(Qt::ISODate);
}

// Why Program could not be started, in Dutch.
QString StartFailure(const QString& Program) {
    const QString Found =
        Program.contains(u'/') ? Program : QStandardPaths::findExecutable(Program);
    if (Found.isEmpty() || !QFileInfo::exists(Found))
        return QStringLiteral("Alarmopdracht niet gevonden: %1").arg(Program);
    return QStringLiteral("Alarmopdracht kan niet worden gestart (geen uitvoerbaar programma): %1")
        .arg(Found);
}

} // namespace

TAlertCommand::TAlertCommand(std::chrono::milliseconds TimeLimit, QObject* Parent)
    : QObject(Parent), FTimeLimit(TimeLimit) {}

TAlertCommand::~TAlertCommand() {
    for (QProcess* Process : findChildren<QProcess*>()) {
        Process->disconnect();
        Process->kill();
        Process->waitForFinished(1000);
    }
}

void TAlertCommand::Run(const QString& Command, const TTrouble& Trouble, bool Began) {
    std::optional<QStringList> Words = SplitCommandLine(Command);
    if (!Words) {
        Ended(QStringLiteral("Alarmopdracht ongeldig (aanhalingsteken niet gesloten): %1")
                  .arg(Command),
              true);
        return;
    }
    if (Words->isEmpty())
        return;
    QStringList Arguments = std::move(*Words);
    const QString Program = Arguments.takeFirst();
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert(QStringLiteral("VANTOR_EVENT"),
                       Began ? QStringLiteral("begin") : QStringLiteral("end"));
    Environment.insert(QStringLiteral("VANTOR_KIND"), TroubleKindName(Trouble.Kind));
    Environment.insert(QStringLiteral("VANTOR_SINCE"), IsoWithOffset(Trouble.Since));
    Environment.insert(QStringLiteral("VANTOR_TEXT"),
                       Began ? Trouble.Text : TroubleEndText(Trouble));
    Environment.insert(QStringLiteral("VANTOR_FILE"), Trouble.File);

    auto* Process = new QProcess(this);
    Process->setProgram(Program);
    Process->setArguments(Arguments);
    Process->setProcessEnvironment(Environment);
    // Its output is not read: it goes where the program's own output goes.
    Process->setProcessChannelMode(QProcess::ForwardedChannels);
    Process->setStandardInputFile(QProcess::nullDevice());
    auto* Limit = new QTimer(Process);
    Limit->setSingleShot(true);
    const auto TimedOut = std::make_shared<bool>(false);
    connect(Limit, &QTimer::timeout, Process, [Process, TimedOut] {
        *TimedOut = true;
        Process->kill();
    });
    connect(Process, &QProcess::errorOccurred, this,
            [this, Process, Program](QProcess::ProcessError Error) {
                if (Error != QProcess::FailedToStart)
                    return;
                Ended(StartFailure(Program), true);
                Process->deleteLater();
            });
    connect(
        Process, &QProcess::finished, this,
        [this, Process, Program, TimedOut](int Code, QProcess::ExitStatus Status) {
            if (*TimedOut)
                Ended(
                    QStringLiteral("Alarmopdracht %1 was na %2 s nog niet klaar en is "
                                   "gestopt")
                        .arg(Program)
                        .arg(std::chrono::duration_cast<std::chrono::seconds>(FTimeLimit).count()),
                    true);
            else if (Status == QProcess::CrashExit)
                Ended(QStringLiteral("Alarmopdracht %1 is afgebroken").arg(Program), true);
            else
                Ended(QStringLiteral("Alarmopdracht %1 uitgevoerd, afsluitcode %2")
                          .arg(Program)
                          .arg(Code),
                      Code != 0);
            Process->deleteLater();
        });
    Process->start();
    Limit->start(FTimeLimit);
}

void TAlertCommand::Ended(const QString& Text, bool Failed) {
    emit RunEnded(Text, Failed);
    if (!Failed) {
        FFailureReported = false;
        return;
    }
    if (!std::exchange(FFailureReported, true))
        emit FailureToReport(Text);
}
