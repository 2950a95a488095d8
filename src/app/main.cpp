#include "app/AppSetup.h"
#include "app/Headless.h"
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
#include <cstring>
#include <exception>
#include <optional>

namespace {

const char* const Usage =
    "Gebruik: vantor2026 [--headless] [--data-dir MAP] [--help] [--version]\n"
    "\n"
    "Vantor 2026 - Hourly Audio Recorder: neemt elk klokuur een bestand op\n"
    "volgens het weekschema.\n"
    "\n"
    "  --headless  neemt op zonder venster (voor een server zonder beeldscherm);\n"
    "              statusregels gaan naar standaarduitvoer, fouten naar standaardfout.\n"
    "              SIGTERM, SIGINT of SIGHUP sluit de lopende opname netjes af.\n"
    "  --data-dir MAP\n"
    "              houdt instellingen, database en opnamen in MAP in plaats van in de\n"
    "              map van het programma (een kopie per ingang: elk een eigen map)\n"
    "  --help      toont deze hulptekst\n"
    "  --version   toont de versie\n";

bool HasArgument(int Argc, char** Argv, const char* Name) {
    for (int I = 1; I < Argc; ++I)
        if (std::strcmp(Argv[I], Name) == 0)
            return true;
    return false;
}

// The value of --data-dir DIR or --data-dir=DIR; Missing is set when the option has none.
std::optional<QString> DataDirArgument(int Argc, char** Argv, bool& Missing) {
    const char* const Name = "--data-dir";
    const size_t Length = std::strlen(Name);
    for (int I = 1; I < Argc; ++I) {
        if (std::strcmp(Argv[I], Name) == 0) {
            if (I + 1 < Argc && Argv[I + 1][0] != '\0')
                return QString::fromLocal8Bit(Argv[I + 1]);
            Missing = true;
            return std::nullopt;
        }
        if (std::strncmp(Argv[I], Name, Length) == 0 && Argv[I][Length] == '=') {
            if (Argv[I][Length + 1] != '\0')
                return QString::fromLocal8Bit(Argv[I] + Length + 1);
            Missing = true;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

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
    if (HasArgument(Argc, Argv, "--help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (HasArgument(Argc, Argv, "--version")) {
        std::printf("Vantor 2026 %s\n", VANTOR_VERSION);
        return 0;
    }
    bool DataDirMissing = false;
    const std::optional<QString> DataDir = DataDirArgument(Argc, Argv, DataDirMissing);
    if (DataDirMissing) {
        std::fputs("Fout: --data-dir verwacht een map, bijvoorbeeld --data-dir /var/lib/vantor2026/"
                   "studio1.\n",
                   stderr);
        return 2;
    }
    const TDataFolder Folder = ChooseDataFolder(DataDir);
    Config = std::make_unique<TConfig>(Folder.Path);
    const int Result = HasArgument(Argc, Argv, "--headless")
                           ? RunHeadless(Argc, Argv, Folder.Notice)
                           : RunWindowed(Argc, Argv, Folder.Notice);
    Config.reset();
    return Result;
}
