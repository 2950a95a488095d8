#include "control/AlertCommand.h"

#include "control/CommandLine.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <signal.h>
#include <unistd.h>
#include <utility>

namespace {

// ISO 8601 with the offset from UTC, for example "2026-03-05T14:00:03+01:00"; "+00:00" in
// UTC, where Qt would write "Z".
QString IsoWithOffset(const QDateTime& Moment) {
    const int Offset = Moment.offsetFromUtc();
    const int Minutes = std::abs(Offset) / 60;
    return Moment.toOffsetFromUtc(Offset).toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           (Offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(Minutes / 60, 2, 10, QChar(u'0'))
               .arg(Minutes % 60, 2, 10, QChar(u'0'));
}

// Ends the process group Process leads: the command and whatever it started.
void KillGroup(QProcess& Process) {
    const qint64 Leader = Process.processId();
    if (Leader <= 0 || ::kill(static_cast<pid_t>(-Leader), SIGKILL) != 0)
        Process.kill();
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
    if (!FRunning)
        return;
    FRunning->disconnect();
    KillGroup(*FRunning);
    FRunning->waitForFinished(1000);
}

void TAlertCommand::Run(const QString& Command, const TTrouble& Trouble, bool Began) {
    // An instant trouble ends as it begins: its end alone tells it.
    if (Began && TroubleKindNames(Trouble.Kind).Instant)
        return;
    std::optional<QStringList> Words = SplitCommandLine(Command);
    if (!Words) {
        Ended(QStringLiteral("Alarmopdracht ongeldig (aanhalingsteken niet gesloten): %1")
                  .arg(Command),
              true);
        return;
    }
    if (Words->isEmpty())
        return;
    TRun Next{{}, std::move(*Words), Trouble, Began};
    Next.Program = Next.Arguments.takeFirst();
    // A short trouble whose begin still waits is told once, by its end, which says both when
    // it began and how long it lasted.
    if (!Began && Trouble.Since.secsTo(Trouble.Until) < HoldTime.count()) {
        const auto Begin = std::find_if(FWaiting.begin(), FWaiting.end(), [&](const TRun& R) {
            return R.Began && R.Trouble.Kind == Trouble.Kind && R.Trouble.Since == Trouble.Since;
        });
        if (Begin != FWaiting.end())
            FWaiting.erase(Begin);
    }
    Queue(std::move(Next));
}

void TAlertCommand::Queue(TRun Run) {
    if (FWaiting.size() >= QueueLimit) {
        FWaiting.pop_front();
        if (!std::exchange(FDropReported, true))
            Ended(QStringLiteral("Alarmopdracht loopt achter: er wachten meer dan %1 meldingen, "
                                 "de oudste worden overgeslagen")
                      .arg(QueueLimit),
                  true);
    }
    FWaiting.push_back(std::move(Run));
    StartNext();
}

void TAlertCommand::StartNext() {
    if (FRunning)
        return;
    if (FWaiting.empty()) {
        FDropReported = false;
        return;
    }
    const TRun Next = std::move(FWaiting.front());
    FWaiting.pop_front();
    Start(Next);
}

void TAlertCommand::Start(const TRun& Run) {
    const TTrouble& Trouble = Run.Trouble;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert(QStringLiteral("VANTOR_EVENT"),
                       Run.Began ? QStringLiteral("begin") : QStringLiteral("end"));
    Environment.insert(QStringLiteral("VANTOR_KIND"), TroubleKindName(Trouble.Kind));
    Environment.insert(QStringLiteral("VANTOR_SINCE"), IsoWithOffset(Trouble.Since));
    Environment.insert(QStringLiteral("VANTOR_TEXT"),
                       Run.Began ? Trouble.Text : TroubleEndText(Trouble));
    Environment.insert(QStringLiteral("VANTOR_FILE"), Trouble.File);

    auto* Process = new QProcess(this);
    FRunning = Process;
    Process->setProgram(Run.Program);
    Process->setArguments(Run.Arguments);
    Process->setProcessEnvironment(Environment);
    // Its output is not read: it goes where the program's own output goes.
    Process->setProcessChannelMode(QProcess::ForwardedChannels);
    Process->setStandardInputFile(QProcess::nullDevice());
    // A process group of its own, so that the time limit ends whatever it started too. (QProcess
    // gives the child back the default for SIGPIPE, which this program ignores.)
    Process->setChildProcessModifier([] { ::setpgid(0, 0); });
    auto* Limit = new QTimer(Process);
    Limit->setSingleShot(true);
    const auto TimedOut = std::make_shared<bool>(false);
    connect(Limit, &QTimer::timeout, Process, [Process, TimedOut] {
        *TimedOut = true;
        KillGroup(*Process);
    });
    const QString Program = Run.Program;
    // Whichever way the run ends, the next one waiting starts.
    const auto Done = [this, Process](const QString& Text, bool Failed) {
        FRunning = nullptr;
        Process->disconnect(this);
        Process->deleteLater();
        Ended(Text, Failed);
        StartNext();
    };
    connect(Process, &QProcess::errorOccurred, this, [Program, Done](QProcess::ProcessError Error) {
        if (Error == QProcess::FailedToStart)
            Done(StartFailure(Program), true);
    });
    connect(
        Process, &QProcess::finished, this,
        [this, Program, TimedOut, Done](int Code, QProcess::ExitStatus Status) {
            if (*TimedOut)
                Done(QStringLiteral("Alarmopdracht %1 was na %2 s nog niet klaar en is "
                                    "gestopt")
                         .arg(Program)
                         .arg(std::chrono::duration_cast<std::chrono::seconds>(FTimeLimit).count()),
                     true);
            else if (Status == QProcess::CrashExit)
                Done(QStringLiteral("Alarmopdracht %1 is afgebroken").arg(Program), true);
            else
                Done(QStringLiteral("Alarmopdracht %1 uitgevoerd, afsluitcode %2")
                         .arg(Program)
                         .arg(Code),
                     Code != 0);
        });
    Limit->start(FTimeLimit);
    Process->start();
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
