#include "app/Headless.h"

#include "app/ErrorTrap.h"
#include "app/SignalWatcher.h"
#include "app/SystemdNotifier.h"
#include "base/ErrorReport.h"
#include "base/uConfig.h"
#include "control/RecordingSession.h"
#include "data/uData.h"

#include <QCoreApplication>
#include <QStringList>
#include <cerrno>
#include <csignal>
#include <exception>
#include <unistd.h>

namespace {

// One of the program's output streams, written a whole line at a time. Once its reader is gone
// (a closed pipe) or its terminal (a closed session), the lines are dropped without a word: the
// output must never stop a recording.
class TOutputStream {
public:
    explicit TOutputStream(int Descriptor) : FDescriptor(Descriptor) {}

    void WriteLine(const QString& Text) {
        if (FDead)
            return;
        const QByteArray Line =
            (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + Text +
             u'\n')
                .toUtf8();
        qsizetype Done = 0;
        while (Done < Line.size()) {
            const ssize_t Written = ::write(FDescriptor, Line.constData() + Done,
                                            static_cast<size_t>(Line.size() - Done));
            if (Written > 0) {
                Done += Written;
                continue;
            }
            if (Written < 0 && errno == EINTR)
                continue;
            // A full disk or a stream that would block loses this line; a dead one all the rest.
            FDead = Written < 0 && (errno == EPIPE || errno == EIO);
            return;
        }
    }

private:
    int FDescriptor;
    bool FDead = false;
};

TOutputStream Output(STDOUT_FILENO);
TOutputStream Errors(STDERR_FILENO);

void ReportError(const QString& Text) {
    Errors.WriteLine(QStringLiteral("Fout: ") + ErrorReportText(Text));
}

QString SignalName(int Signal) {
    switch (Signal) {
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGHUP:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(Signal);
    }
}

// Reports every exception that escapes an event handler, as the window's error box does,
// and goes on with the event loop.
class THeadlessApplication : public QCoreApplication {
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject* Receiver, QEvent* Event) override {
        return DeliverReportingErrors([&] { return QCoreApplication::notify(Receiver, Event); },
                                      ReportError);
    }
};

} // namespace

int RunHeadless(int& Argc, char** Argv, const QString& Notice) {
    THeadlessApplication App(Argc, Argv);
    App.setApplicationName(QStringLiteral("vantor2026"));
    TSignalWatcher Signals;
    TSystemdNotifier Systemd;
    if (!Notice.isEmpty())
        Output.WriteLine(Notice);
    if (!Config->Warning().isEmpty())
        Errors.WriteLine(Config->Warning());

    TRecordingSession Session(*Config);
    const TRecordingController& Controller = Session.Controller();
    QObject::connect(&Controller, &TRecordingController::StatusLinesChanged,
                     [&Controller, &Systemd] {
                         const TControlStatus& S = Controller.Status();
                         QStringList Parts;
                         for (const QString& Text : {S.FileText, S.InfoText, S.SourceText})
                             if (!Text.isEmpty())
                                 Parts << Text;
                         const QString Line = Parts.join(QStringLiteral(" | "));
                         Output.WriteLine(Line);
                         Systemd.Status(Line);
                     });
    QObject::connect(&Session, &TRecordingSession::Ticked, [&Systemd] { Systemd.Ticked(); });
    QObject::connect(&Controller, &TRecordingController::WarningRaised,
                     [](const QString& Text) { Errors.WriteLine(Text); });
    // Trouble goes to the error stream when it begins, its end (with how long it lasted) to
    // the normal one; what the information line tells already is not repeated.
    QObject::connect(&Controller, &TRecordingController::TroubleBegan, [](const TTrouble& T) {
        if (!TroubleKindNames(T.Kind).InInfoLine)
            Errors.WriteLine(QStringLiteral("Let op: ") + T.Text);
    });
    QObject::connect(
        &Controller, &TRecordingController::TroubleEnded, [&Controller](const TTrouble& T) {
            // A report that begins and ends at once was told at its begin.
            if (TroubleKindNames(T.Kind).InInfoLine || TroubleKindNames(T.Kind).Instant)
                return;
            Output.WriteLine(TroubleEndText(T));
            if (Controller.Status().TroubleText.isEmpty())
                Output.WriteLine(QStringLiteral("Storing opgeheven."));
        });
    QObject::connect(&Signals, &TSignalWatcher::Received, [&Session, &Systemd](int Signal) {
        Systemd.Stopping();
        Output.WriteLine(
            QStringLiteral("Signaal %1 ontvangen: afsluiten.").arg(SignalName(Signal)));
        try {
            Session.Shutdown();
        } catch (const std::exception& E) {
            ReportError(QString::fromUtf8(E.what()));
        }
        QCoreApplication::exit(0);
    });
    Signals.Listen();

    for (const QString& Error : Session.Start())
        ReportError(Error);
    // Without a window nobody would see that nothing is recorded: the run ends with an error,
    // so that the service manager shows it (and tries again).
    if (!Session.CanRecord()) {
        ReportError(QStringLiteral("Deze kopie kan niet opnemen en stopt."));
        return 1;
    }
    Systemd.Ready();
    const int Result = App.exec();
    try {
        Session.Shutdown();
    } catch (const std::exception& E) {
        ReportError(QString::fromUtf8(E.what()));
    }
    return Result;
}
