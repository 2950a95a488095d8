#include "app/AppSetup.h"
#include "app/Headless.h"
#include "app/SignalWatcher.h"
#include "app/TApplication.h"
#include "base/ErrorReport.h"
#include "base/uConfig.h"
#include "ui/MessageBoxes.h"
#include "ui/uMain.h"

#include <QSessionManager>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char* const Usage =
    "Gebruik: vantor2026 [--headless] [--help] [--version]\n"
    "\n"
    "Vantor 2026 - Hourly Audio Recorder: neemt elk klokuur een bestand op\n"
    "volgens het weekschema.\n"
    "\n"
    "  --headless  neemt op zonder venster (voor een server zonder beeldscherm);\n"
    "              statusregels gaan naar standaarduitvoer, fouten naar standaardfout.\n"
    "              SIGTERM, SIGINT of SIGHUP sluit de lopende opname netjes af.\n"
    "  --help      toont deze hulptekst\n"
    "  --version   toont de versie\n";

bool HasArgument(int Argc, char** Argv, const char* Name) {
    for (int I = 1; I < Argc; ++I)
        if (std::strcmp(Argv[I], Name) == 0)
            return true;
    return false;
}

int RunWindowed(int Argc, char** Argv) {
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
        if (!Config->Warning().isEmpty())
            ShowWarningWithoutWaiting(&Main, Config->Warning());
        return App.exec();
    } catch (const std::exception& E) {
        ShowErrorReport(QString::fromUtf8(E.what()));
        return 1;
    }
}

} // namespace

int main(int Argc, char** Argv) {
    if (HasArgument(Argc, Argv, "--help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (HasArgument(Argc, Argv, "--version")) {
        std::printf("Vantor 2026 %s\n", VANTOR_VERSION);
        return 0;
    }
    Config = std::make_unique<TConfig>();
    const int Result =
        HasArgument(Argc, Argv, "--headless") ? RunHeadless(Argc, Argv) : RunWindowed(Argc, Argv);
    Config.reset();
    return Result;
}
