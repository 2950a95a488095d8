#include "audio/uRecorder.h"
#include "control/RecordingSession.h"
#include "support/DatabaseLock.h"
#include "support/RecordingFixture.h"
#include "ui/uAbout.h"
#include "ui/uDevice.h"
#include "ui/uLog.h"
#include "ui/uMain.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace {

// Runs Action on the modal dialog of type T that the next menu handler opens; closes the
// dialog afterwards if Action left it open.
template <typename T> void OnDialog(std::function<void(T*)> Action) {
    QTimer::singleShot(0, [Action] {
        QWidget* Modal = QApplication::activeModalWidget();
        auto* Dialog = qobject_cast<T*>(Modal);
        EXPECT_NE(Dialog, nullptr) << (Modal ? Modal->metaObject()->className() : "none");
        if (Dialog)
            Action(Dialog);
        if (Modal && Modal->isVisible())
            static_cast<QDialog*>(Modal)->reject();
    });
}

void Click(QWidget* Dialog, const char* Button) {
    Dialog->findChild<QPushButton*>(Button)->click();
}

QByteArray ReadAll(const QString& Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

class DialogMenu : public testing::Test, public TRecordingFixture {
protected:
    DialogMenu() { Now = Amsterdam("2026-03-05T13:20:00Z"); }

    QString IniPath() const { return Dir.path() + "/Vantor2026.ini"; }

    static void InstallDevices(std::vector<soundlib::TScriptedDevice> Devices) {
        soundlib::TScript Script;
        Script.Devices = std::move(Devices);
        Script.Signal = soundlib::ToneSignal(1000, 0.5);
        soundlib::InstallScriptedBackend(std::move(Script));
    }
};

} // namespace

TEST_F(DialogMenu, EveryMenuEntryOpensItsDialog) {
    TfrmMain Main(Clock());
    const std::pair<const char*, const char*> Entries[] = {
        {"mnuLog", "TfrmLog"},           {"mnuPresets", "TfrmPresets"},
        {"mnuSchedule", "TfrmSchedule"}, {"mnuDevice", "TfrmDevice"},
        {"mnuSettings", "TfrmSettings"}, {"mnuEvents", "TfrmEvents"},
        {"mnuAbout", "TfrmAbout"}};
    for (const auto& [Entry, Class] : Entries) {
        QString Opened;
        QTimer::singleShot(0, [&Opened] {
            QWidget* Modal = QApplication::activeModalWidget();
            Opened = Modal ? Modal->metaObject()->className() : QString();
            if (Modal)
                static_cast<QDialog*>(Modal)->reject();
        });
        Main.findChild<QAction*>(Entry)->trigger();
        EXPECT_EQ(Opened, Class) << Entry;
        EXPECT_EQ(Main.findChild<QDialog*>(), nullptr) << "released after " << Entry;
    }
}

TEST_F(DialogMenu, TheLogWindowsSaySoWhenThereIsNoDatabase) {
    Config->SetDatabasePath(QStringLiteral("/proc/geen-map/Vantor2026.sqlite"));
    // The start-up reports the database that would not open.
    OnDialog<QMessageBox>([](QMessageBox*) {});
    TfrmMain Main(Clock());
    ASSERT_EQ(Main.Session().Data(), nullptr);
    EXPECT_THROW(Main.mnuLogClick(), EDatabaseError);
    EXPECT_THROW(Main.mnuEventsClick(), EDatabaseError);
}

TEST_F(DialogMenu, ConfirmingTheDeviceSavesItAndReopensItEvenWhenUnchanged) {
    InstallDevices({{"Microfoon", true}, {"Monitor", true}});
    soundlib::SetScriptedServerUp(false);
    TfrmMain Main(Clock());
    ASSERT_FALSE(Main.Controller().DeviceOK());
    soundlib::SetScriptedServerUp(true);

    // The default device -1 preselects device 0, and OK stores 0.
    OnDialog<TfrmDevice>([](TfrmDevice* Dialog) { Click(Dialog, "btnOK"); });
    Main.mnuDeviceClick();
    EXPECT_EQ(Config->RecordDevice(), 0);
    EXPECT_TRUE(ReadAll(IniPath()).contains("Device=0\n"));
    EXPECT_TRUE(Main.Controller().DeviceOK());
    EXPECT_EQ(Main.Controller().Recorder()->Device(), 0);

    // Losing the device and confirming the same one again opens it anew.
    soundlib::SetScriptedServerUp(false);
    Main.Controller().CheckDevice();
    ASSERT_FALSE(Main.Controller().DeviceOK());
    soundlib::SetScriptedServerUp(true);
    OnDialog<TfrmDevice>([](TfrmDevice* Dialog) { Click(Dialog, "btnOK"); });
    Main.mnuDeviceClick();
    EXPECT_TRUE(Main.Controller().DeviceOK());
}

TEST_F(DialogMenu, CancellingTheDeviceDialogChangesNeitherFileNorDevice) {
    InstallDevices({{"Microfoon", true}, {"Monitor", true}});
    Config->SetRecordDevice(1);
    Config->Save();
    TfrmMain Main(Clock());
    const QByteArray Before = ReadAll(IniPath());
    OnDialog<TfrmDevice>([](TfrmDevice* Dialog) {
        Dialog->findChild<QComboBox*>("cboDevice")->setCurrentIndex(0);
        Click(Dialog, "btnCancel");
    });
    Main.mnuDeviceClick();
    EXPECT_EQ(Config->RecordDevice(), 1);
    EXPECT_EQ(ReadAll(IniPath()), Before);
    EXPECT_EQ(Main.Controller().Recorder()->Device(), 1);
}

TEST_F(DialogMenu, WithoutDevicesOKStoresTheDefaultDevice) {
    InstallDevices({});
    Config->SetRecordDevice(2);
    TfrmMain Main(Clock());
    OnDialog<TfrmDevice>([](TfrmDevice* Dialog) { Click(Dialog, "btnOK"); });
    Main.mnuDeviceClick();
    EXPECT_EQ(Config->RecordDevice(), -1);
    EXPECT_TRUE(ReadAll(IniPath()).contains("Device=-1\n"));
}

TEST_F(DialogMenu, AnotherDeviceDuringARecordingLogsItAndRecordsOnInANewFile) {
    InstallDevices({{"Microfoon", true}, {"Monitor", true}});
    TfrmMain Main(Clock());
    Main.mnuStartClick();
    ASSERT_TRUE(Main.Controller().IsRecording());
    Now = Now.addSecs(12);
    OnDialog<TfrmDevice>([](TfrmDevice* Dialog) {
        Dialog->findChild<QComboBox*>("cboDevice")->setCurrentIndex(1);
        Click(Dialog, "btnOK");
    });
    Main.mnuDeviceClick();

    ASSERT_TRUE(Main.Controller().IsRecording());
    EXPECT_EQ(Main.Controller().Recorder()->Device(), 1);
    EXPECT_EQ(Main.Controller().Status().SourceText, ControlText::ByHand);
    const QList<QStringList> Rows = LogRows();
    ASSERT_EQ(Rows.size(), 2);
    EXPECT_EQ(Rows[0][1], "1");
    EXPECT_EQ(Rows[0][3], "12");
    EXPECT_EQ(Rows[1][0], "2026-03-05 14:20:12");
    EXPECT_EQ(Rows[1][1], "2");
    EXPECT_TRUE(QFile::exists(DayFolder("2026/03/05") + Rows[1][2]));
}

TEST_F(DialogMenu, AnotherDatabaseDuringARecordingLeavesEachRowWithItsDuration) {
    TfrmMain Main(Clock());
    Main.mnuStartClick();
    ASSERT_TRUE(Main.Controller().IsRecording());
    const QString OldPath = Config->DatabasePath();
    const QString NewPath = Dir.path() + "/Tweede/Vantor2026.sqlite";
    Now = Now.addSecs(7);
    OnDialog<TfrmSettings>([&NewPath](TfrmSettings* Dialog) {
        Dialog->findChild<QLineEdit*>("edtDb")->setText(NewPath);
        Click(Dialog, "btnOK");
    });
    Main.mnuSettingsClick();
    ASSERT_EQ(Main.Session().Data()->Connection().databaseName(), NewPath);
    ASSERT_TRUE(Main.Controller().IsRecording());
    Now = Now.addSecs(3);
    Main.mnuStopClick();

    Data = std::make_unique<TLogData>(NewPath);
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 14:20:07", "1", "05032026141_2.mp3", "3"}}));
    Data = std::make_unique<TLogData>(OldPath);
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 14:20:00", "1", "05032026141.mp3", "7"}}));
}

// The session owns the database: the settings dialog only hands its values back, and the
// session switches the database under the running recording. The log window the menu opens
// then reads the session's new database; the old one keeps the recording's first row.
TEST_F(DialogMenu, TheLogWindowReadsTheDatabaseTheSessionSwitchedTo) {
    TfrmMain Main(Clock());
    Main.mnuStartClick();
    ASSERT_TRUE(Main.Controller().IsRecording());
    const TLogData* Before = Main.Session().Data();
    ASSERT_NE(Before, nullptr);
    const QString NewPath = Dir.path() + "/Tweede/Vantor2026.sqlite";
    Now = Now.addSecs(5);
    OnDialog<TfrmSettings>([&NewPath](TfrmSettings* Dialog) {
        Dialog->findChild<QLineEdit*>("edtDb")->setText(NewPath);
        Click(Dialog, "btnOK");
    });
    Main.mnuSettingsClick();
    ASSERT_NE(Main.Session().Data(), nullptr);
    EXPECT_NE(Main.Session().Data(), Before);
    EXPECT_EQ(Main.Session().Data()->Connection().databaseName(), NewPath);
    EXPECT_EQ(Config->DatabasePath(), NewPath);

    QStringList Listed;
    OnDialog<TfrmLog>([&Listed](TfrmLog* Log) {
        const QAbstractItemModel* Rows = Log->findChild<QTableView*>("grd")->model();
        for (int Row = 0; Row < Rows->rowCount(); ++Row)
            Listed << QFileInfo(Rows->index(Row, 9).data().toString()).fileName();
    });
    Main.mnuLogClick();
    EXPECT_EQ(Listed, QStringList{"05032026141_2.mp3"});
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 14:20:00", "1", "05032026141.mp3", "5"}}));
    Main.mnuStopClick();
}

// While another process holds the old database locked for longer than its busy timeout, it
// cannot take the running recording's length. Confirming the settings or another device
// then changes nothing: the settings file, the values and the database in use stay, the
// recording goes on; once the lock is gone, the same confirmation goes through.
TEST_F(DialogMenu, AHandOverTheOldDatabaseRefusesChangesNothingAndTheRecordingGoesOn) {
    InstallDevices({{"Microfoon", true}, {"Monitor", true}});
    const QString OldPath = Config->DatabasePath();
    const QString NewPath = Dir.path() + "/Tweede/Vantor2026.sqlite";
    const auto ConfirmSettings = [&](TfrmMain& Main, bool Refused) {
        OnDialog<TfrmSettings>([&NewPath, Refused](TfrmSettings* Dialog) {
            Dialog->findChild<QLineEdit*>("edtDb")->setText(NewPath);
            Dialog->findChild<QLineEdit*>("edtRoot")->setText(NewPath + "-opnames");
            if (Refused)
                EXPECT_THROW(Dialog->btnOKClick(), EDatabaseError);
            else
                Dialog->btnOKClick();
        });
        Main.mnuSettingsClick();
    };
    const auto ConfirmDevice = [](TfrmMain& Main, bool Refused) {
        OnDialog<TfrmDevice>([](TfrmDevice* Dialog) {
            Dialog->findChild<QComboBox*>("cboDevice")->setCurrentIndex(1);
            Click(Dialog, "btnOK");
        });
        if (Refused)
            EXPECT_THROW(Main.mnuDeviceClick(), EDatabaseError);
        else
            Main.mnuDeviceClick();
    };
    const std::pair<const char*, std::function<void(TfrmMain&, bool)>> Cases[] = {
        {"settings", ConfirmSettings}, {"device", ConfirmDevice}};
    for (const auto& [Name, Confirm] : Cases) {
        SCOPED_TRACE(Name);
        Data = std::make_unique<TLogData>(OldPath);
        Config->SetDatabasePath(OldPath);
        Config->SetRecordDevice(0);
        Config->SetRootFolder(Dir.path() + "/Opnames");
        Config->Save();
        const QString RootBefore = Config->RootFolder();
        TfrmMain Main(Clock());
        Main.mnuStartClick();
        ASSERT_TRUE(Main.Controller().IsRecording());
        const QString File = Main.Controller().Recorder()->CurrentPath();
        const QByteArray IniBefore = ReadAll(IniPath());

        TDatabaseLock Lock(OldPath, 6);
        Confirm(Main, true);
        EXPECT_EQ(ReadAll(IniPath()), IniBefore);
        EXPECT_EQ(Config->DatabasePath(), OldPath);
        EXPECT_EQ(Config->RootFolder(), RootBefore);
        EXPECT_EQ(Config->RecordDevice(), 0);
        EXPECT_EQ(Main.Session().Data()->Connection().databaseName(), OldPath);
        EXPECT_TRUE(Main.Controller().IsRecording());
        EXPECT_EQ(Main.Controller().Recorder()->CurrentPath(), File);
        EXPECT_EQ(Main.Controller().Recorder()->Device(), 0);

        Lock.Release();
        Now = Now.addSecs(4);
        Confirm(Main, false);
        EXPECT_NE(ReadAll(IniPath()), IniBefore);
        EXPECT_TRUE(Main.Controller().IsRecording());
        EXPECT_NE(Main.Controller().Recorder()->CurrentPath(), File);
        Main.mnuStopClick();
        Data = std::make_unique<TLogData>(OldPath);
        const QList<QStringList> Rows =
            LogRows("WHERE filename='" + QFileInfo(File).fileName() + "'");
        ASSERT_EQ(Rows.size(), 1);
        EXPECT_EQ(Rows.first()[3], "4");
    }
}
