// Saves pictures of the dialogs, filled with sample data, into the folder given as argument:
//   ui_screenshots docs/screenshots

#include "app/AppSetup.h"
#include "base/uConfig.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "ui/CoverageStrip.h"
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

// The moment the log windows' pictures are taken: during the last recording of the sample log.
QDateTime SampleNow() {
    return QDateTime::fromString("2026-03-05 15:30:00", "yyyy-MM-dd HH:mm:ss");
}

// Recordings on Wednesday 4 and Thursday 5 March 2026, with the audio their files hold. On the
// Thursday, the program did not run at 12:00, the sound server went away for half a minute at
// 13:00, the volume was full from 13:38 until 14:00 and the recording of 15:00 still runs.
void FillSampleLog(TLogData& Data) {
    const struct {
        const char* Moment;
        int Number;
        const char* Preset;
        TAudioFormat Format;
        const char* Title;
        const char* Persons;
        int Seconds;
        // The audio the file holds, to the millisecond: none without audio; no end while it
        // still records.
        const char* AudioFrom;
        const char* AudioTo;
    } Rows[] = {
        {"2026-03-04 08:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600, "2026-03-04 08:00:00.000", "2026-03-04 09:00:00.000"},
        {"2026-03-04 09:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Muziek en gesprek",
         "Bert Jansen, Carla Smit", 3600, "2026-03-04 09:00:00.000", "2026-03-04 10:00:00.000"},
        {"2026-03-04 10:00:00", 1, "WAV 44 kHz Stereo", afWAV, "", "", 3600,
         "2026-03-04 10:00:00.000", "2026-03-04 11:00:00.000"},
        {"2026-03-04 10:20:00", 2, "WAV 44 kHz Stereo", afWAV, "Interview wethouder", "Dirk Bakker",
         2400, "2026-03-04 10:20:00.000", "2026-03-04 11:00:00.000"},
        {"2026-03-05 08:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Ochtendnieuws", "Anna de Vries",
         3600, "2026-03-05 08:00:00.000", "2026-03-05 09:00:00.000"},
        {"2026-03-05 13:00:00", 1, "OPUS 64 Kbit", afOPUS, "Kerkdienst", "", 17,
         "2026-03-05 13:00:00.000", "2026-03-05 13:00:17.480"},
        {"2026-03-05 13:00:45", 2, "OPUS 64 Kbit", afOPUS, "Kerkdienst", "", 2247,
         "2026-03-05 13:00:45.210", "2026-03-05 13:38:12.900"},
        {"2026-03-05 14:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "", "", 0, nullptr, nullptr},
        {"2026-03-05 15:00:00", 1, "MP3 128 Kbit Stereo", afMP3, "Middagprogramma", "", 0,
         "2026-03-05 15:00:00.000", ""},
    };
    const auto Exact = [](const char* Text) {
        return QDateTime::fromString(Text, "yyyy-MM-dd HH:mm:ss.zzz");
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
        if (!Row.AudioFrom)
            continue;
        TAudioTimes Times;
        Times.RecordingId = Id;
        Times.Start = Exact(Row.AudioFrom);
        Times.End = Exact(Row.AudioTo);
        Times.SampleRate = 48000;
        Times.Frames = Times.End.isValid() ? Times.Start.msecsTo(Times.End) * 48 : 0;
        Data.SetAudioTimes(Times);
    }
    Data.LogGap(Exact("2026-03-05 13:00:17.480"), Exact("2026-03-05 13:00:45.210"), "capture");
    Data.LogGap(Exact("2026-03-05 13:38:12.900"), Exact("2026-03-05 14:00:00.000"), "volume-full");
    // Wednesday's morning and Thursday's programmes are scheduled; not the hour of the tray's
    // picture, which starts its recording by hand.
    for (const int Hour : {8, 9, 10})
        Data.SetSchedulePreset(3, Hour, 1);
    for (const int Hour : {8, 12, 13, 15, 16})
        Data.SetSchedulePreset(4, Hour, 1);
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

// A label that looks like the tooltip holding Text.
QLabel* ToolTipLabel(const QString& Text, QWidget* Parent) {
    auto* Tip = new QLabel(Text, Parent);
    Tip->setAutoFillBackground(true);
    Tip->setBackgroundRole(QPalette::ToolTipBase);
    Tip->setForegroundRole(QPalette::ToolTipText);
    Tip->setFrameShape(QFrame::Box);
    Tip->setMargin(6);
    return Tip;
}

// The coverage strip of an open log window close up, with the tooltip of its partial hour
// below that hour, as the mouse shows it.
bool SaveCoverageStrip(QWidget& Log, const QString& Path) {
    const auto* Label = Log.findChild<QLabel*>("lblCoverage");
    const auto* Strip = Log.findChild<TCoverageStrip*>("pnlCoverage");
    const QRect Area = Label->geometry().united(Strip->geometry()).adjusted(-8, -4, 8, 6);

    QWidget Picture;
    Picture.setAutoFillBackground(true);
    auto* Column = new QVBoxLayout(&Picture);
    Column->setContentsMargins(0, 0, 0, 12);
    Column->setSpacing(0);
    auto* Crop = new QLabel(&Picture);
    Crop->setPixmap(Log.grab(Area));
    Column->addWidget(Crop);
    for (const TCoverageCell* Cell : Strip->Cells())
        if (Cell->Hour().State() == TCoverageHour::TState::Partial) {
            auto* Row = new QHBoxLayout;
            Row->addSpacing(Cell->mapTo(&Log, QPoint(Cell->width() / 2, 0)).x() - Area.left());
            Row->addWidget(ToolTipLabel(Cell->toolTip(), &Picture));
            Row->addStretch();
            Column->addLayout(Row);
            break;
        }
    return Save(Picture, Path);
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
    Row->addWidget(ToolTipLabel(Tray.ToolTip().replace(TempFolder, "/srv"), &Picture));
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
        TfrmLog Log(
            Data.get(), nullptr, [](const QString&) { return true; }, SampleNow);
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(1, 0));
        Ok &= Save(Log, Out.filePath("log.png"));
    }
    {
        // The retention rules deleted the oldest recording without a title; the window is wide
        // enough to show the paths.
        const QString Gone = "/srv/opnames/2026/03/04/04032026101.wav";
        TfrmLog Log(
            Data.get(), nullptr, [&Gone](const QString& Path) { return Path != Gone; }, SampleNow);
        Log.resize(1240, 520);
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(1, 0));
        Ok &= Save(Log, Out.filePath("log-deleted.png"));
    }
    {
        // Narrowed to two days and a person; the count says how many recordings are left.
        TfrmLog Log(
            Data.get(), nullptr, [](const QString&) { return true; }, SampleNow);
        Log.resize(1000, 520);
        Log.findChild<QCheckBox*>("chkAllDates")->setChecked(false);
        Log.findChild<QDateEdit*>("dteFrom")->setDate(QDate(2026, 3, 4));
        Log.findChild<QDateEdit*>("dteTo")->setDate(QDate(2026, 3, 5));
        Log.findChild<QLineEdit*>("edtFind")->setText("anna");
        Log.LoadLog(-1);
        Ok &= Save(Log, Out.filePath("log-filtered.png"));
    }
    {
        // Thursday's coverage: a full hour, an hour missing, an hour with two gaps, the hour
        // being recorded and one still to come.
        TfrmLog Log(
            Data.get(), nullptr, [](const QString&) { return true; }, SampleNow);
        auto* Grid = Log.findChild<QTableView*>("grd");
        Grid->setCurrentIndex(Grid->model()->index(2, 0));
        Ok &= Save(Log, Out.filePath("log-coverage.png"));
        Ok &= SaveCoverageStrip(Log, Out.filePath("coverage-strip.png"));
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
