#include "app/AppSetup.h"
#include "app/CoverageCommand.h"
#include "app/Headless.h"
#include "app/ProgramArguments.h"
#include "app/SignalWatcher.h"
#include "app/TApplication.h"
#include "base/DataFolder.h"
#include "base/ErrorReport.h"
#include "base/uConfig.h"
#include "ui/MessageBoxes.h"
#include "ui/uMain.h"

#include <QSessionManager>
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

const char* const Usage =
    "Gebruik: vantor2026 [--headless] [--data-dir MAP] [--help] [--version]\n"
    "         vantor2026 --coverage JJJJ-MM-DD [--json] [--data-dir MAP]\n"
    "\n"
    "Vantor 2026 - Hourly Audio Recorder: neemt elk klokuur een bestand op\n"
    "volgens het weekschema.\n"
    "\n"
    "  --headless  neemt op zonder venster (voor een server zonder beeldscherm);\n"
    "              statusregels gaan naar standaarduitvoer, fouten naar standaardfout.\n"
    "              SIGTERM, SIGINT of SIGHUP sluit de lopende opname netjes af.\n"
    "  --data-dir MAP, --data-dir=MAP\n"
    "              houdt instellingen, database en opnamen in MAP in plaats van in de\n"
    "              map van het programma (een kopie per ingang: elk een eigen map)\n"
    "  --coverage JJJJ-MM-DD, --coverage=JJJJ-MM-DD\n"
    "              toont per klokuur van die dag of het gepland was, hoeveel seconden\n"
    "              zijn opgenomen en welke stukken ontbreken, met de oorzaak; neemt\n"
    "              niets op en kan naast een lopende opname draaien\n"
    "  --json      met --coverage: hetzelfde als JSON\n"
    "  --help      toont deze hulptekst\n"
    "  --version   toont de versie\n"
    "\n"
    "Elk ander argument wordt geweigerd (afsluitcode 2).\n";

int RunWindowed(int Argc, char** Argv, const QString& Notice) {
    // The window repaints a few small meter rectangles twenty times a second. Through X's
    // shared memory each repaint first waits for the server to have read the previous one, a
    // round trip; sending those few kilobytes over the socket costs less. The operator's own
    // choice stays.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
    TApplication App(Argc, Argv);
    SetUpApplication(App);
    try {
        TSignalWatcher Signals;
        TfrmMain Main;
        QObject::connect(&Signals, &TSignalWatcher::Received, &Main, &TfrmMain::EndSession);
        QObject::connect(&App, &QGuiApplication::commitDataRequest, &Main, &TfrmMain::EndSession);
        Signals.Listen();
        Main.show();
        // A trouble with the settings file must not hold up an unattended start: the window
        // records as scheduled while the warning waits for somebody to read it.
        QStringList Told;
        for (const QString& Text : {Notice, Config->Warning()})
            if (!Text.isEmpty())
                Told << Text;
        if (!Told.isEmpty())
            ShowWarningWithoutWaiting(&Main, Told.join(QStringLiteral("\n\n")));
        return App.exec();
    } catch (const std::exception& E) {
        ShowErrorReport(QString::fromUtf8(E.what()));
        return 1;
    }
}

} // namespace

int main(int Argc, char** Argv) {
    // A reader that goes away (`vantor2026 --headless | head`) must not end a recording: writes
    // to it fail with EPIPE instead, and the output code drops them.
    std::signal(SIGPIPE, SIG_IGN);
    QList<QByteArray> Words;
    for (int I = 1; I < Argc; ++I)
        Words << QByteArray(Argv[I]);
    const TProgramArguments Arguments = ParseArguments(Words);
    if (!Arguments.Error.isEmpty()) {
        std::fprintf(stderr, "Fout: %s\nZie vantor2026 --help voor de opties.\n",
                     Arguments.Error.toLocal8Bit().constData());
        return 2;
    }
    if (Arguments.Help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (Arguments.Version) {
        std::printf("Vantor 2026 %s\n", VANTOR_VERSION);
        return 0;
    }
    if (Arguments.CoverageDay)
        return RunCoverage(Argc, Argv, Arguments);
    const TDataFolder Folder = ChooseDataFolder(Arguments.DataDir);
    Config = std::make_unique<TConfig>(Folder.Path);
    const int Result = Arguments.Headless ? RunHeadless(Argc, Argv, Folder.Notice)
                                          : RunWindowed(Argc, Argv, Folder.Notice);
    Config.reset();
    return Result;
}
