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
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

void WriteLine(std::FILE* Stream, const QString& Text) {
    const QString Line =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + Text +
        u'\n';
    std::fputs(Line.toUtf8().constData(), Stream);
    std::fflush(Stream);
}

void ReportError(const QString& Text) {
    WriteLine(stderr, QStringLiteral("Fout: ") + ErrorReportText(Text));
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
        WriteLine(stdout, Notice);
    if (!Config->Warning().isEmpty())
        WriteLine(stderr, Config->Warning());

    TRecordingSession Session(*Config, LogData);
    const TRecordingController& Controller = Session.Controller();
    QObject::connect(&Controller, &TRecordingController::StatusLinesChanged,
                     [&Controller, &Systemd] {
                         const TControlStatus& S = Controller.Status();
                         QStringList Parts;
                         for (const QString& Text : {S.FileText, S.InfoText, S.SourceText})
                             if (!Text.isEmpty())
                                 Parts << Text;
                         const QString Line = Parts.join(QStringLiteral(" | "));
                         WriteLine(stdout, Line);
                         Systemd.Status(Line);
                     });
    QObject::connect(&Session, &TRecordingSession::Ticked, [&Systemd] { Systemd.Ticked(); });
    QObject::connect(&Controller, &TRecordingController::WarningRaised,
                     [](const QString& Text) { WriteLine(stderr, Text); });
    // Trouble goes to the error stream when it begins, its end (with how long it lasted) to
    // the normal one; what the information line tells already is not repeated.
    QObject::connect(&Controller, &TRecordingController::TroubleBegan, [](const TTrouble& T) {
        if (!TroubleKindNames(T.Kind).InInfoLine)
            WriteLine(stderr, QStringLiteral("Let op: ") + T.Text);
    });
    QObject::connect(&Controller, &TRecordingController::TroubleEnded,
                     [&Controller](const TTrouble& T) {
                         if (TroubleKindNames(T.Kind).InInfoLine)
                             return;
                         WriteLine(stdout, TroubleEndText(T));
                         if (Controller.Status().TroubleText.isEmpty())
                             WriteLine(stdout, QStringLiteral("Storing opgeheven."));
                     });
    QObject::connect(&Signals, &TSignalWatcher::Received, [&Session, &Systemd](int Signal) {
        Systemd.Stopping();
        WriteLine(stdout,
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
    Systemd.Ready();
    const int Result = App.exec();
    try {
        Session.Shutdown();
    } catch (const std::exception& E) {
        ReportError(QString::fromUtf8(E.what()));
    }
    return Result;
}
