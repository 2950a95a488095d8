// Saves pictures of the dialogs, filled with sample data, into the folder given as argument:
//   ui_screenshots docs/screenshots

#include "app/AppSetup.h"
#include "base/uConfig.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "ui/uAbout.h"
#include "ui/uDevice.h"
#include "ui/uLog.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void FillSampleLog() {
    const struct {
        const char* Moment;
        const char* Preset;
        TAudioFormat Format;
        const char* Title;
        const char* Persons;
        int Seconds;
    } Rows[] = {
        {"2026-03-04 08:00:00", "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600},
        {"2026-03-04 09:00:00", "MP3 128 Kbit Stereo", afMP3, "Muziek en gesprek",
         "Bert Jansen, Carla Smit", 3600},
        {"2026-03-04 10:00:00", "WAV 44 kHz Stereo", afWAV, "", "", 3600},
        {"2026-03-04 10:20:00", "WAV 44 kHz Stereo", afWAV, "Interview wethouder", "Dirk Bakker",
         2400},
        {"2026-03-05 08:00:00", "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600},
        {"2026-03-05 13:00:00", "OPUS 64 Kbit", afOPUS, "Kerkdienst", "", 3600},
        {"2026-03-05 14:00:00", "MP3 128 Kbit Stereo", afMP3, "", "", 0},
    };
    for (const auto& Row : Rows) {
        TPreset P;
        P.Name = Row.Preset;
        P.Format = Row.Format;
        const QDateTime At = QDateTime::fromString(Row.Moment, "yyyy-MM-dd HH:mm:ss");
        const QString Name = At.toString("ddMMyyyyHH") + "1" + FormatToExt(Row.Format);
        const int32_t Id = LogData->LogRecording(
            P, At, 1, Name, "/srv/opnames/" + At.toString("yyyy/MM/dd/") + Name);
        LogData->UpdateRecordingMeta(Id, Row.Title, Row.Persons);
        LogData->SetRecordingDuration(Id, Row.Seconds);
    }
}

bool Save(QWidget& Window, const QString& Path) {
    Window.show();
    QApplication::processEvents();
    const bool Saved = Window.grab().save(Path);
    std::printf("%s %s\n", Saved ? "saved" : "FAILED", qPrintable(Path));
    return Saved;
}

} // namespace

int main(int Argc, char** Argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    SetUpApplication(App);
    if (Argc < 2) {
        std::fputs("Gebruik: ui_screenshots <map>\n", stderr);
        return 2;
    }
    const QDir Out(QString::fromLocal8Bit(Argv[1]));
    QTemporaryDir Dir;
    Config = std::make_unique<TConfig>(Dir.path());
    LogData = std::make_unique<TLogData>(Dir.filePath("Vantor2026.sqlite"));
    FillSampleLog();
    Config->SetRootFolder("/srv/opnames");
    Config->SetDatabasePath("/srv/vantor/Vantor2026.sqlite");

    bool Ok = true;
    {
        TfrmAbout About;
        Ok &= Save(About, Out.filePath("about.png"));
    }
    {
        soundlib::TScript Script;
        Script.Devices = {{"Ingebouwde audio Analoog stereo", true},
                          {"Monitor of Ingebouwde audio Analoog stereo", true},
                          {"USB Audio CODEC Analoog stereo", false}};
        soundlib::InstallScriptedBackend(std::move(Script));
        Config->SetRecordDevice(0);
        TfrmDevice Device;
        Ok &= Save(Device, Out.filePath("device.png"));
    }
    {
        TfrmSettings Settings;
        Ok &= Save(Settings, Out.filePath("settings.png"));
        // The database chooser, with Qt's own texts in Dutch, at the sample database.
        Config->SetDatabasePath(Dir.filePath("Vantor2026.sqlite"));
        QTimer::singleShot(0, [&Ok, &Out] {
            auto* Chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!Chooser)
                return;
            Chooser->resize(720, 440);
            Ok &= Save(*Chooser, Out.filePath("settings-database-chooser.png"));
            Chooser->reject();
        });
        Settings.findChild<QPushButton*>("btnDb")->click();
    }
    {
        TfrmLog Log;
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(1, 0));
        Ok &= Save(Log, Out.filePath("log.png"));
    }
    LogData.reset();
    Config.reset();
    return Ok ? 0 : 1;
}
