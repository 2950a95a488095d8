#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"
#include "ui/DialogTestKit.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

int PresetCount(const TLogData* Data) {
    QSqlQuery Q(Data->Connection());
    Q.exec("SELECT COUNT(*) FROM presets");
    return Q.next() ? Q.value(0).toInt() : -1;
}

// Runs Action on the file dialog the next handler opens, once it is shown.
void OnFileDialog(std::function<void(QFileDialog*)> Action) {
    QTimer::singleShot(0, [Action] {
        auto* Dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(Dialog, nullptr);
        Action(Dialog);
        if (Dialog->isVisible())
            Dialog->reject();
    });
}

class SettingsTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    QString IniPath;

    void SetUp() override {
        QDir(Dir.path()).mkdir("prog");
        Config = std::make_unique<TConfig>(Dir.filePath("prog"));
        IniPath = Dir.filePath("prog/Vantor2026.ini");
        Session = std::make_unique<TRecordingSession>(*Config);
        ASSERT_EQ(Session->OpenDatabase(), "");
    }
    void TearDown() override {
        Session.reset();
        Config.reset();
    }

    // What the dialog works on: the session owns the database.
    std::unique_ptr<TRecordingSession> Session;

    static QLineEdit* Edit(TfrmSettings& Dialog, const char* Name) {
        return Dialog.findChild<QLineEdit*>(Name);
    }
};

} // namespace

TEST_F(SettingsTest, ShowsTheSettingsAndCancelWritesNothing) {
    Config->SetAutoRecord(false);
    const QByteArray Before = ReadAll(IniPath);
    TfrmSettings Dialog(*Session);
    EXPECT_EQ(Edit(Dialog, "edtRoot")->text(), Config->RootFolder());
    EXPECT_EQ(Edit(Dialog, "edtDb")->text(), Config->DatabasePath());
    EXPECT_FALSE(Dialog.findChild<QCheckBox*>("chkAuto")->isChecked());

    Edit(Dialog, "edtRoot")->setText("/elders");
    Edit(Dialog, "edtDb")->setText(Dir.filePath("ander.sqlite"));
    QTimer::singleShot(0, &Dialog, [&Dialog] { QTest::keyClick(&Dialog, Qt::Key_Escape); });
    EXPECT_EQ(Dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
    EXPECT_EQ(ReadAll(IniPath), Before);
    EXPECT_FALSE(QFile::exists(Dir.filePath("ander.sqlite")));
}

TEST_F(SettingsTest, AnUnchangedOKStillSavesTheSettingsFileAndReopensNothing) {
    ASSERT_TRUE(QFile::remove(IniPath));
    const TLogData* Before = Session->Data();
    TfrmSettings Dialog(*Session);
    QTimer::singleShot(0, &Dialog, [&Dialog] { QTest::keyClick(&Dialog, Qt::Key_Return); });
    EXPECT_EQ(Dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(ReadAll(IniPath).contains("[Schedule]\nAutoRecord=1"));
    EXPECT_EQ(Session->Data(), Before);
}

TEST_F(SettingsTest, ANewDatabaseFileIsMadeWithItsTablesAndDefaultPresets) {
    const QString NewPath = Dir.filePath("nieuw/map/Opnames.sqlite");
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(NewPath);
    Dialog.findChild<QCheckBox*>("chkAuto")->setChecked(false);
    Dialog.btnOKClick();

    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Session->Data()->Connection().databaseName(), NewPath);
    EXPECT_EQ(PresetCount(Session->Data()), 2);
    const QByteArray Ini = ReadAll(IniPath);
    EXPECT_TRUE(Ini.contains("RootFolder=/srv/opnames\n"));
    EXPECT_TRUE(Ini.contains("Database=" + NewPath.toUtf8() + "\n"));
    EXPECT_TRUE(Ini.contains("AutoRecord=0"));
}

TEST_F(SettingsTest, PathsNameTheSameDatabaseOnlyWhenTheyNameTheSameFile) {
    const QString Db = Config->DatabasePath();
    ASSERT_TRUE(QFile::link(Db, Dir.filePath("link.sqlite")));
    struct Case {
        QString A, B;
        bool Same;
    };
    const Case Cases[] = {
        {Db, Db, true},
        {Db, Dir.filePath("prog/VANTOR2026.sqlite"), false},
        {Db, Dir.filePath("link.sqlite"), true},
        {Db, Dir.filePath("prog/../prog/Vantor2026.sqlite"), true},
        {Dir.filePath("É.sqlite"), Dir.filePath("é.sqlite"), false},
        {Dir.filePath("weg.sqlite"), Dir.filePath("prog/../weg.sqlite"), false},
        {"", Db, false},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(SameDatabase(C.A, C.B), C.Same)
            << C.A.toStdString() << " / " << C.B.toStdString();
}

TEST_F(SettingsTest, APathDifferingOnlyInCaseOpensThatOtherFile) {
    const QString Upper = Dir.filePath("prog/VANTOR2026.sqlite");
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtDb")->setText(Upper);
    Dialog.btnOKClick();
    EXPECT_EQ(Session->Data()->Connection().databaseName(), Upper);
    EXPECT_TRUE(QFile::exists(Upper));
    EXPECT_EQ(Config->DatabasePath(), Upper);
}

TEST_F(SettingsTest, ANonAsciiPathWorks) {
    const QString Path = Dir.filePath("Één map/Opnamelog ü データ.sqlite");
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtDb")->setText(Path);
    Dialog.btnOKClick();
    EXPECT_TRUE(QFile::exists(Path));
    EXPECT_EQ(PresetCount(Session->Data()), 2);
    Session.reset();
    Config = std::make_unique<TConfig>(Dir.filePath("prog"));
    EXPECT_EQ(Config->DatabasePath(), Path);
}

TEST_F(SettingsTest, ADatabaseThatCannotBeOpenedChangesNothingAndKeepsTheDialogOpen) {
    QFile Blocker(Dir.filePath("bestand"));
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
    Blocker.close();
    const QByteArray Before = ReadAll(IniPath);
    const TLogData* Old = Session->Data();
    TfrmSettings Dialog(*Session);
    Dialog.show();
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(Dir.filePath("bestand/sub/Vantor2026.sqlite"));
    EXPECT_THROW(Dialog.btnOKClick(), EDatabaseError);

    EXPECT_TRUE(Dialog.isVisible());
    EXPECT_EQ(Session->Data(), Old);
    EXPECT_EQ(PresetCount(Session->Data()), 2);
    EXPECT_EQ(ReadAll(IniPath), Before);
    EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
    EXPECT_EQ(Config->DatabasePath(), Dir.filePath("prog/Vantor2026.sqlite"));
}

TEST_F(SettingsTest, ASettingsFileThatCannotBeSavedChangesNothing) {
    const TLogData* Old = Session->Data();
    ASSERT_TRUE(QDir(Dir.filePath("prog")).removeRecursively());
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(Dir.filePath("nieuw.sqlite"));
    EXPECT_THROW(Dialog.btnOKClick(), std::runtime_error);
    EXPECT_EQ(Session->Data(), Old);
    EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
    EXPECT_EQ(Config->DatabasePath(), Dir.filePath("prog/Vantor2026.sqlite"));
}

TEST_F(SettingsTest, TheSessionTakesTheNewDatabaseAndOpensOneWhenNoneIsOpen) {
    Session = std::make_unique<TRecordingSession>(*Config);
    ASSERT_EQ(Session->Data(), nullptr);
    TfrmSettings Unchanged(*Session);
    Unchanged.btnOKClick();
    ASSERT_NE(Session->Data(), nullptr);
    EXPECT_EQ(Session->Data()->Connection().databaseName(), Config->DatabasePath());

    TfrmSettings Changed(*Session);
    Edit(Changed, "edtDb")->setText(Dir.filePath("tweede.sqlite"));
    Changed.btnOKClick();
    EXPECT_EQ(Session->Data()->Connection().databaseName(), Dir.filePath("tweede.sqlite"));
}

TEST_F(SettingsTest, BrowsingForTheDatabaseStartsAtTheStoredPathAndAddsTheExtension) {
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtDb")->setText(Dir.filePath("getypt/iets.sqlite"));
    OnFileDialog([this](QFileDialog* Browser) {
        EXPECT_EQ(Browser->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(Browser->directory().absolutePath(), Dir.filePath("prog"));
        EXPECT_EQ(Browser->selectedFiles().value(0), Config->DatabasePath());
        EXPECT_EQ(Browser->nameFilters(),
                  (QStringList{"SQLite database (*.sqlite)", "Alle bestanden (*)"}));
        Browser->selectFile("ander");
        static_cast<QDialog*>(Browser)->accept();
    });
    Dialog.findChild<QPushButton*>("btnDb")->click();
    EXPECT_EQ(Edit(Dialog, "edtDb")->text(), Dir.filePath("prog/ander.sqlite"));

    OnFileDialog([](QFileDialog*) {});
    Dialog.findChild<QPushButton*>("btnDb")->click();
    EXPECT_EQ(Edit(Dialog, "edtDb")->text(), Dir.filePath("prog/ander.sqlite"));
}

TEST_F(SettingsTest, BrowsingForTheFolderStartsAtTheTypedFolderWhenItExists) {
    QDir(Dir.path()).mkpath("opnames/2026");
    TfrmSettings Dialog(*Session);
    Edit(Dialog, "edtRoot")->setText(Dir.filePath("opnames"));
    OnFileDialog([this](QFileDialog* Browser) {
        EXPECT_EQ(Browser->windowTitle(), "Kies de map voor opnames");
        EXPECT_EQ(Browser->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(Browser->directory().absolutePath(), Dir.filePath("opnames"));
        Browser->setDirectory(Dir.filePath("opnames/2026"));
        static_cast<QDialog*>(Browser)->accept();
    });
    Dialog.findChild<QPushButton*>("btnRoot")->click();
    EXPECT_EQ(Edit(Dialog, "edtRoot")->text(), Dir.filePath("opnames/2026"));

    // A folder that does not exist leaves the start to the browser; cancelling changes nothing.
    Edit(Dialog, "edtRoot")->setText(Dir.filePath("bestaat/niet"));
    OnFileDialog([this](QFileDialog* Browser) {
        EXPECT_NE(Browser->directory().absolutePath(), Dir.filePath("bestaat/niet"));
    });
    Dialog.findChild<QPushButton*>("btnRoot")->click();
    EXPECT_EQ(Edit(Dialog, "edtRoot")->text(), Dir.filePath("bestaat/niet"));
}

TEST_F(SettingsTest, SilenceValuesInTheirRangeAreShownAndSaved) {
    TAlarmSettings Alarm;
    Alarm.SilenceSeconds = 90;
    Alarm.SilenceLevel = -45;
    Alarm.Command = "/usr/local/bin/piep";
    Config->SetAlarm(Alarm);
    struct Case {
        const char *Seconds, *Level;
        int32_t SavedSeconds, SavedLevel;
    };
    const Case Cases[] = {
        {" 120 ", "-40", 120, -40}, {"0", "-100", 0, -100}, {"86400", "-1", 86400, -1}};
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Seconds);
        TfrmSettings Dialog(*Session);
        Alarm = Config->Alarm();
        EXPECT_EQ(Edit(Dialog, "edtSilenceSeconds")->text(), QString::number(Alarm.SilenceSeconds));
        EXPECT_EQ(Edit(Dialog, "edtSilenceLevel")->text(), QString::number(Alarm.SilenceLevel));
        Edit(Dialog, "edtSilenceSeconds")->setText(C.Seconds);
        Edit(Dialog, "edtSilenceLevel")->setText(C.Level);
        Dialog.btnOKClick();
        EXPECT_EQ(Dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Config->Alarm().SilenceSeconds, C.SavedSeconds);
        EXPECT_EQ(Config->Alarm().SilenceLevel, C.SavedLevel);
        EXPECT_EQ(Config->Alarm().Command, "/usr/local/bin/piep");
        const QByteArray Ini = ReadAll(IniPath);
        EXPECT_TRUE(Ini.contains(QString("SilenceSeconds=%1\n").arg(C.SavedSeconds).toUtf8()));
        EXPECT_TRUE(Ini.contains(QString("SilenceLevel=%1\n").arg(C.SavedLevel).toUtf8()));
    }
    Config = std::make_unique<TConfig>(Dir.filePath("prog"));
    EXPECT_EQ(Config->Alarm().SilenceSeconds, 86400);
    EXPECT_EQ(Config->Alarm().SilenceLevel, -1);
}

// One number field at a time out of its range or not a whole number: the warning names it,
// the focus goes to it, the dialog stays open and nothing changes.
TEST_F(SettingsTest, NumberValuesOutOfRangeOrNotWholeNumbersAreRefusedAndNothingChanges) {
    const QString SecondsRange = SilenceSettingsError(-1, -50);
    const QString LevelRange = SilenceSettingsError(60, 0);
    const QString DaysRange = RetentionSettingsError(-1, 0);
    const QString MinFreeRange = RetentionSettingsError(0, -1);
    const QString SecondsNumber = "De stilteduur moet een geheel aantal seconden zijn.";
    const QString LevelNumber = "Het stilteniveau moet een geheel getal (dBFS) zijn.";
    const QString DaysNumber = "Het aantal dagen om te bewaren moet een geheel getal zijn.";
    const QString MinFreeNumber = "De minimale vrije ruimte moet een geheel aantal MiB zijn.";
    for (const QString& Text : {SecondsRange, LevelRange, DaysRange, MinFreeRange})
        EXPECT_FALSE(Text.isEmpty());
    const struct {
        const char* Field;
        const char* Text;
        QString Warning;
    } Cases[] = {
        {"edtSilenceSeconds", "-1", SecondsRange},    {"edtSilenceSeconds", "86401", SecondsRange},
        {"edtSilenceLevel", "0", LevelRange},         {"edtSilenceLevel", "-101", LevelRange},
        {"edtSilenceSeconds", "", SecondsNumber},     {"edtSilenceSeconds", "1,5", SecondsNumber},
        {"edtSilenceLevel", "-50 dB", LevelNumber},   {"edtKeepDays", "-1", DaysRange},
        {"edtKeepDays", "36501", DaysRange},          {"edtMinFree", "-5", MinFreeRange},
        {"edtMinFree", "16777217", MinFreeRange},     {"edtKeepDays", "", DaysNumber},
        {"edtKeepDays", "30 dagen", DaysNumber},      {"edtMinFree", "1,5", MinFreeNumber},
        {"edtMinFree", "99999999999", MinFreeNumber},
    };
    const QByteArray Before = ReadAll(IniPath);
    const TLogData* OldData = Session->Data();
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Field) + " = " + C.Text);
        TfrmSettings Dialog(*Session);
        Dialog.show();
        Edit(Dialog, "edtRoot")->setText("/srv/opnames");
        Edit(Dialog, "edtDb")->setText(Dir.filePath("ander.sqlite"));
        Edit(Dialog, "edtSilenceSeconds")->setText("90");
        Edit(Dialog, "edtKeepDays")->setText("30");
        Dialog.findChild<QCheckBox*>("chkKeepAnnotated")->setChecked(false);
        Edit(Dialog, C.Field)->setText(C.Text);
        QString Warning;
        const auto Watch = WhenModal<QMessageBox>([&Warning](QMessageBox* Box) {
            Warning = Box->text();
            EXPECT_EQ(Box->icon(), QMessageBox::Warning);
            Box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(Dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);

        EXPECT_EQ(Warning, C.Warning);
        EXPECT_TRUE(Dialog.isVisible());
        EXPECT_EQ(Dialog.focusWidget(), Edit(Dialog, C.Field));
        EXPECT_EQ(Config->Retention(), TRetentionSettings());
        EXPECT_EQ(Config->Alarm(), TAlarmSettings());
        EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
        EXPECT_EQ(Session->Data(), OldData);
        EXPECT_EQ(ReadAll(IniPath), Before);
        EXPECT_FALSE(QFile::exists(Dir.filePath("ander.sqlite")));
    }
}

TEST_F(SettingsTest, RetentionValuesInTheirRangeAreShownAndSaved) {
    TfrmSettings Fresh(*Session);
    EXPECT_EQ(Edit(Fresh, "edtKeepDays")->text(), "0");
    EXPECT_EQ(Edit(Fresh, "edtMinFree")->text(), "0");
    EXPECT_TRUE(Fresh.findChild<QCheckBox*>("chkKeepAnnotated")->isChecked());
    struct Case {
        const char *Days, *MinFree;
        bool KeepAnnotated;
        TRetentionSettings Saved;
    };
    const Case Cases[] = {
        {" 30 ", "0", true, {30, 0, true}},
        {"0", "2048", false, {0, 2048, false}},
        {"36500", "16777216", true, {36500, 16777216, true}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Days);
        TfrmSettings Dialog(*Session);
        EXPECT_EQ(Edit(Dialog, "edtKeepDays")->text(),
                  QString::number(Config->Retention().KeepDays));
        EXPECT_EQ(Edit(Dialog, "edtMinFree")->text(),
                  QString::number(Config->Retention().MinFreeMB));
        EXPECT_EQ(Dialog.findChild<QCheckBox*>("chkKeepAnnotated")->isChecked(),
                  Config->Retention().KeepAnnotated);
        Edit(Dialog, "edtKeepDays")->setText(C.Days);
        Edit(Dialog, "edtMinFree")->setText(C.MinFree);
        Dialog.findChild<QCheckBox*>("chkKeepAnnotated")->setChecked(C.KeepAnnotated);
        Dialog.btnOKClick();
        EXPECT_EQ(Dialog.result(), QDialog::Accepted);
        EXPECT_EQ(Config->Retention(), C.Saved);
        EXPECT_EQ(TConfig(Dir.filePath("prog")).Retention(), C.Saved);
    }
}

namespace {

// Two logged recordings under the folder "opnames": one of 2.2 GB started 40 days ago with a
// title, one of 1.2 GB started 31 days ago without; sparse files, so they take no room. Numbers
// are written the Dutch way.
class RetentionQuestionTest : public SettingsTest {
protected:
    QString Old, Recent;
    const QLocale Saved;

    void SetUp() override {
        SettingsTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
        Config->SetRootFolder(Dir.filePath("opnames"));
        Config->Save();
        const QDateTime Now = QDateTime::currentDateTime();
        Old = Dir.filePath("opnames/oud.mp3");
        Recent = Dir.filePath("opnames/recent.mp3");
        const int32_t OldId = Record(Now.addDays(-40), Old, 2'200'000'000);
        Record(Now.addDays(-31), Recent, 1'200'000'000);
        Session->Data()->UpdateRecordingMeta(OldId, "Kerkdienst", "");
    }
    void TearDown() override {
        QLocale::setDefault(Saved);
        SettingsTest::TearDown();
    }

    int32_t Record(const QDateTime& At, const QString& Path, qint64 Bytes) {
        QDir().mkpath(QFileInfo(Path).path());
        QFile File(Path);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly) && File.resize(Bytes));
        EXPECT_TRUE(File.setFileTime(At, QFileDevice::FileModificationTime));
        TPreset P;
        P.Name = "MP3 128 Kbit Stereo";
        return Session->Data()->LogRecording(P, At, 1, QFileInfo(Path).fileName(), Path);
    }

    static QAbstractButton* ButtonNamed(QMessageBox* Box, const QString& Text) {
        for (QAbstractButton* Button : Box->buttons())
            if (Button->text() == Text)
                return Button;
        ADD_FAILURE() << "no button " << Text.toStdString();
        return Box->buttons().value(0);
    }
};

} // namespace

TEST_F(RetentionQuestionTest, ChangedRulesThatDeleteAtOnceAskFirstAndNoKeepsEverything) {
    struct Case {
        const char* Name;
        TRetentionSettings InForce;
        const char *Days, *MinFree;
        bool KeepAnnotated;
        bool OldIsRunning;
        QString Question; // empty: none is asked and OK saves
    };
    const QString Two = "Met deze instellingen worden nu 2 opnamen verwijderd (3,4 GB). Doorgaan?";
    const Case Cases[] = {
        {"beide ouder dan 30 dagen", {}, "30", "0", false, false, Two},
        {"alleen de oudste",
         {},
         "35",
         "0",
         false,
         false,
         "Met deze instellingen wordt nu 1 opname verwijderd (2,2 GB). Doorgaan?"},
        {"de oudste heeft een titel",
         {},
         "30",
         "0",
         true,
         false,
         "Met deze instellingen wordt nu 1 opname verwijderd (1,2 GB). Doorgaan?"},
        {"de oudste loopt nog",
         {},
         "30",
         "0",
         false,
         true,
         "Met deze instellingen wordt nu 1 opname verwijderd (1,2 GB). Doorgaan?"},
        {"te weinig vrije ruimte", {}, "0", "16777216", false, false, Two},
        {"zelfde regels van kracht", {30, 0, false}, "30", "0", false, false, {}},
        {"niets zo oud", {}, "50", "0", false, false, {}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        Config->SetRetention(C.InForce);
        Config->Save();
        const QByteArray Before = ReadAll(IniPath);
        const QString Running = C.OldIsRunning ? Old : QString();
        TfrmSettings Dialog(*Session, nullptr, [&Running] { return Running; });
        Dialog.show();
        Edit(Dialog, "edtKeepDays")->setText(C.Days);
        Edit(Dialog, "edtMinFree")->setText(C.MinFree);
        Dialog.findChild<QCheckBox*>("chkKeepAnnotated")->setChecked(C.KeepAnnotated);
        QString Asked;
        const auto Watch = WhenModal<QMessageBox>([&Asked](QMessageBox* Box) {
            Asked = Box->text();
            EXPECT_EQ(Box->icon(), QMessageBox::Question);
            EXPECT_EQ(Box->defaultButton()->text(), "Nee");
            ButtonNamed(Box, "Nee")->click();
        });
        QTest::mouseClick(Dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);

        EXPECT_EQ(Asked, C.Question);
        EXPECT_TRUE(QFile::exists(Old));
        EXPECT_TRUE(QFile::exists(Recent));
        if (C.Question.isEmpty()) {
            EXPECT_EQ(Dialog.result(), QDialog::Accepted);
            continue;
        }
        EXPECT_TRUE(Dialog.isVisible());
        EXPECT_EQ(Config->Retention(), C.InForce);
        EXPECT_EQ(ReadAll(IniPath), Before);
    }
}

TEST_F(RetentionQuestionTest, YesSavesTheRulesAndLeavesTheDeletingToTheRecorder) {
    TfrmSettings Dialog(*Session);
    Dialog.show();
    Edit(Dialog, "edtKeepDays")->setText("30");
    Dialog.findChild<QCheckBox*>("chkKeepAnnotated")->setChecked(false);
    Edit(Dialog, "edtSilenceSeconds")->setText("90");
    QString Asked;
    const auto Watch = WhenModal<QMessageBox>([&Asked](QMessageBox* Box) {
        Asked = Box->text();
        ButtonNamed(Box, "Ja")->click();
    });
    QTest::mouseClick(Dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);

    EXPECT_EQ(Asked, "Met deze instellingen worden nu 2 opnamen verwijderd (3,4 GB). Doorgaan?");
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Config->Retention(), (TRetentionSettings{30, 0, false}));
    EXPECT_EQ(Config->Alarm().SilenceSeconds, 90);
    EXPECT_EQ(TConfig(Dir.filePath("prog")).Retention(), (TRetentionSettings{30, 0, false}));
    EXPECT_TRUE(QFile::exists(Old));
    EXPECT_TRUE(QFile::exists(Recent));
}
