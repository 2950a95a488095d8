// Saves pictures of the dialogs, filled with sample data, into the folder given as argument:
//   ui_screenshots docs/screenshots

#include "app/AppSetup.h"
#include "base/uConfig.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "ui/TrayIcon.h"
#include "ui/uAbout.h"
#include "ui/uDevice.h"
#include "ui/uEvents.h"
#include "ui/uLog.h"
#include "ui/uMain.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

void FillSampleLog(TLogData& Data) {
    const struct {
        const char* Moment;
        int Number;
        const char* Preset;
        TAudioFormat Format;
        const char* Title;
        const char* Persons;
        int Seconds;
    } Rows[] = {
        {"2026-03-04 08:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600},
        {"2026-03-04 09:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Muziek en gesprek",
         "Bert Jansen, Carla Smit", 3600},
        {"2026-03-04 10:00:00", 1, "WAV 44 kHz Stereo", afWAV, "", "", 3600},
        {"2026-03-04 10:20:00", 2, "WAV 44 kHz Stereo", afWAV, "Interview wethouder", "Dirk Bakker",
         2400},
        {"2026-03-05 08:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600},
        {"2026-03-05 13:00:00", 1, "OPUS 64 Kbit", afOPUS, "Kerkdienst", "", 3600},
        {"2026-03-05 14:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "", "", 0},
    };
    for (const auto& Row : Rows) {
        TPreset P;
        P.Name = Row.Preset;
        P.Format = Row.Format;
        const QDateTime At = QDateTime::fromString(Row.Moment, "yyyy-MM-dd HH:mm:ss");
        const QString Name =
            At.toString("ddMMyyyyHH") + QString::number(Row.Number) + FormatToExt(Row.Format);
        const int32_t Id = Data.LogRecording(P, At, Row.Number, Name,
                                             "/srv/opnames/" + At.toString("yyyy/MM/dd/") + Name);
        Data.UpdateRecordingMeta(Id, Row.Title, Row.Persons);
        Data.SetRecordingDuration(Id, Row.Seconds);
    }
}

void FillSampleEvents(TLogData& Data) {
    const struct {
        const char* Moment;
        const char* Event;
        const char* Kind;
        const char* Text;
        const char* File;
    } Rows[] = {
        {"2026-03-04 06:12:03", "herstel", "repair", "Hersteld: 04032026051.wav (2537 s)", ""},
        {"2026-03-04 10:31:15", "begin", "silence", "Stilte sinds 10:30:15",
         "/srv/opnames/2026/03/04/04032026101.wav"},
        {"2026-03-04 10:31:16", "opdracht", "command",
         "Alarmopdracht /usr/local/bin/alarm uitgevoerd, afsluitcode 0", ""},
        {"2026-03-04 10:34:40", "einde", "silence", "Stilte sinds 10:30:15: voorbij na 4 min 25 s",
         "/srv/opnames/2026/03/04/04032026101.wav"},
        {"2026-03-05 13:00:20", "begin", "stalled", "Geen geluid ontvangen sinds 13:00:17",
         "/srv/opnames/2026/03/05/05032026131.mp3"},
        {"2026-03-05 13:00:45", "einde", "stalled",
         "Geen geluid ontvangen sinds 13:00:17: voorbij na 28 s",
         "/srv/opnames/2026/03/05/05032026131.mp3"},
    };
    for (const auto& Row : Rows)
        Data.LogEvent(QDateTime::fromString(Row.Moment, "yyyy-MM-dd HH:mm:ss"), Row.Event, Row.Kind,
                      Row.Text, Row.File);
}

bool Save(QWidget& Window, const QString& Path) {
    Window.show();
    QApplication::processEvents();
    const bool Saved = Window.grab().save(Path);
    std::printf("%s %s\n", Saved ? "saved" : "FAILED", qPrintable(Path));
    return Saved;
}

// The tray's menu and its tooltip during trouble, as one picture: a window that lost its
// capture in the middle of a recording, and the menu its tray icon pops up.
bool SaveTrayMenu(const QString& Path, const QString& TempFolder) {
    QDateTime Now = QDateTime::fromString("2026-03-05 14:20:00", "yyyy-MM-dd HH:mm:ss");
    TfrmMain Main([&Now] { return Now; });
    TTrayIcon Tray(&Main, Main.Controller());
    Main.mnuStartClick();
    soundlib::SetScriptedServerUp(false);
    for (int Tick = 0; Tick < 20; ++Tick) {
        Now = Now.addMSecs(250);
        Main.TimerClockTimer();
    }

    QWidget Picture;
    Picture.setAutoFillBackground(true);
    auto* Column = new QVBoxLayout(&Picture);
    Column->setContentsMargins(12, 12, 12, 12);
    auto* Row = new QHBoxLayout;
    auto* Dot = new QLabel(&Picture);
    Dot->setPixmap(Tray.findChild<QSystemTrayIcon*>()->icon().pixmap(24));
    Row->addWidget(Dot, 0, Qt::AlignTop);
    // The recording goes into a temporary folder; the picture names the usual one.
    auto* Tip = new QLabel(Tray.ToolTip().replace(TempFolder, "/srv"), &Picture);
    Tip->setAutoFillBackground(true);
    Tip->setBackgroundRole(QPalette::ToolTipBase);
    Tip->setForegroundRole(QPalette::ToolTipText);
    Tip->setFrameShape(QFrame::Box);
    Tip->setMargin(6);
    Row->addWidget(Tip);
    Column->addLayout(Row);
    Tray.Menu()->popup(QPoint(0, 0));
    QApplication::processEvents();
    auto* Menu = new QLabel(&Picture);
    Menu->setPixmap(Tray.Menu()->grab());
    Tray.Menu()->hide();
    Column->addWidget(Menu, 0, Qt::AlignLeft);
    const bool Saved = Save(Picture, Path);
    soundlib::SetScriptedServerUp(true);
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
    auto Data = std::make_unique<TLogData>(Dir.filePath("Vantor2026.sqlite"));
    FillSampleLog(*Data);
    FillSampleEvents(*Data);
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
        TRecordingSession Session(*Config);
        TfrmSettings Shown(Session);
        Ok &= Save(Shown, Out.filePath("settings.png"));
        // The database chooser, with Qt's own texts in Dutch, at the sample database.
        Config->SetDatabasePath(Dir.filePath("Vantor2026.sqlite"));
        TfrmSettings Settings(Session);
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
        // The sample recordings are not on disk; the pictures say which of them still are.
        TfrmLog Log(Data.get(), nullptr, [](const QString&) { return true; });
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(1, 0));
        Ok &= Save(Log, Out.filePath("log.png"));
    }
    {
        // The retention rules deleted the oldest recording without a title; the window is wide
        // enough to show the paths.
        const QString Gone = "/srv/opnames/2026/03/04/04032026101.wav";
        TfrmLog Log(Data.get(), nullptr, [&Gone](const QString& Path) { return Path != Gone; });
        Log.resize(1240, 520);
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(1, 0));
        Ok &= Save(Log, Out.filePath("log-deleted.png"));
    }
    {
        // Narrowed to two days and a person; the count says how many recordings are left.
        TfrmLog Log(Data.get(), nullptr, [](const QString&) { return true; });
        Log.resize(1000, 520);
        Log.findChild<QCheckBox*>("chkAllDates")->setChecked(false);
        Log.findChild<QDateEdit*>("dteFrom")->setDate(QDate(2026, 3, 4));
        Log.findChild<QDateEdit*>("dteTo")->setDate(QDate(2026, 3, 5));
        Log.findChild<QLineEdit*>("edtFind")->setText("anna");
        Log.LoadLog(-1);
        Ok &= Save(Log, Out.filePath("log-filtered.png"));
    }
    {
        TfrmEvents Events(Data.get());
        Ok &= Save(Events, Out.filePath("events.png"));
    }
    // The main window opens the database the settings name, and closes it at the end.
    Config->SetRootFolder(Dir.filePath("opnames"));
    Ok &= SaveTrayMenu(Out.filePath("tray-menu.png"), Dir.path());
    Data.reset();
    Config.reset();
    return Ok ? 0 : 1;
}
