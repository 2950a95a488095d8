#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "data/uData.h"
#include "ui/DialogTestKit.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
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

int PresetCount() {
    QSqlQuery Q(LogData->Connection());
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
        LogData = std::make_unique<TLogData>(Config->DatabasePath());
    }
    void TearDown() override {
        LogData.reset();
        Config.reset();
    }

    static QLineEdit* Edit(TfrmSettings& Dialog, const char* Name) {
        return Dialog.findChild<QLineEdit*>(Name);
    }
};

} // namespace

TEST_F(SettingsTest, ShowsTheSettingsAndCancelWritesNothing) {
    Config->SetAutoRecord(false);
    const QByteArray Before = ReadAll(IniPath);
    TfrmSettings Dialog;
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
    const TLogData* Before = LogData.get();
    TfrmSettings Dialog;
    QTimer::singleShot(0, &Dialog, [&Dialog] { QTest::keyClick(&Dialog, Qt::Key_Return); });
    EXPECT_EQ(Dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(ReadAll(IniPath).contains("[Schedule]\nAutoRecord=1"));
    EXPECT_EQ(LogData.get(), Before);
}

TEST_F(SettingsTest, ANewDatabaseFileIsMadeWithItsTablesAndDefaultPresets) {
    const QString NewPath = Dir.filePath("nieuw/map/Opnames.sqlite");
    TfrmSettings Dialog;
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(NewPath);
    Dialog.findChild<QCheckBox*>("chkAuto")->setChecked(false);
    Dialog.btnOKClick();

    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_EQ(LogData->Connection().databaseName(), NewPath);
    EXPECT_EQ(PresetCount(), 2);
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
    TfrmSettings Dialog;
    Edit(Dialog, "edtDb")->setText(Upper);
    Dialog.btnOKClick();
    EXPECT_EQ(LogData->Connection().databaseName(), Upper);
    EXPECT_TRUE(QFile::exists(Upper));
    EXPECT_EQ(Config->DatabasePath(), Upper);
}

TEST_F(SettingsTest, ANonAsciiPathWorks) {
    const QString Path = Dir.filePath("Één map/Opnamelog ü データ.sqlite");
    TfrmSettings Dialog;
    Edit(Dialog, "edtDb")->setText(Path);
    Dialog.btnOKClick();
    EXPECT_TRUE(QFile::exists(Path));
    EXPECT_EQ(PresetCount(), 2);
    LogData.reset();
    Config = std::make_unique<TConfig>(Dir.filePath("prog"));
    EXPECT_EQ(Config->DatabasePath(), Path);
}

TEST_F(SettingsTest, ADatabaseThatCannotBeOpenedChangesNothingAndKeepsTheDialogOpen) {
    QFile Blocker(Dir.filePath("bestand"));
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
    Blocker.close();
    const QByteArray Before = ReadAll(IniPath);
    const TLogData* Old = LogData.get();
    TfrmSettings Dialog;
    Dialog.show();
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(Dir.filePath("bestand/sub/Vantor2026.sqlite"));
    EXPECT_THROW(Dialog.btnOKClick(), EDatabaseError);

    EXPECT_TRUE(Dialog.isVisible());
    EXPECT_EQ(LogData.get(), Old);
    EXPECT_EQ(PresetCount(), 2);
    EXPECT_EQ(ReadAll(IniPath), Before);
    EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
    EXPECT_EQ(Config->DatabasePath(), Dir.filePath("prog/Vantor2026.sqlite"));
}

TEST_F(SettingsTest, ASettingsFileThatCannotBeSavedChangesNothing) {
    const TLogData* Old = LogData.get();
    ASSERT_TRUE(QDir(Dir.filePath("prog")).removeRecursively());
    TfrmSettings Dialog;
    Edit(Dialog, "edtRoot")->setText("/srv/opnames");
    Edit(Dialog, "edtDb")->setText(Dir.filePath("nieuw.sqlite"));
    EXPECT_THROW(Dialog.btnOKClick(), std::runtime_error);
    EXPECT_EQ(LogData.get(), Old);
    EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
    EXPECT_EQ(Config->DatabasePath(), Dir.filePath("prog/Vantor2026.sqlite"));
}

TEST_F(SettingsTest, TheHandOverCarriesTheNewDatabaseAndOneIsOpenedWhenNoneIsOpen) {
    std::vector<QString> Switched;
    const TSettingsHandOver HandOver = [&Switched](const TSettingsChange& Change) {
        RunSettingsChange(Change);
        Switched.push_back(LogData->Connection().databaseName());
    };
    LogData.reset();
    TfrmSettings Unchanged(nullptr, HandOver);
    Unchanged.btnOKClick();
    ASSERT_EQ(Switched.size(), 1u);
    EXPECT_EQ(Switched[0], Config->DatabasePath());

    TfrmSettings Changed(nullptr, HandOver);
    Edit(Changed, "edtDb")->setText(Dir.filePath("tweede.sqlite"));
    Changed.btnOKClick();
    ASSERT_EQ(Switched.size(), 2u);
    EXPECT_EQ(Switched[1], Dir.filePath("tweede.sqlite"));
}

TEST_F(SettingsTest, BrowsingForTheDatabaseStartsAtTheStoredPathAndAddsTheExtension) {
    TfrmSettings Dialog;
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
    TfrmSettings Dialog;
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
        TfrmSettings Dialog;
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

TEST_F(SettingsTest, SilenceValuesOutOfRangeOrNotWholeNumbersAreRefusedAndNothingChanges) {
    const QString SecondsRange = SilenceSettingsError(-1, -50);
    const QString LevelRange = SilenceSettingsError(60, 0);
    const QString SecondsNumber = "De stilteduur moet een geheel aantal seconden zijn.";
    const QString LevelNumber = "Het stilteniveau moet een geheel getal (dBFS) zijn.";
    struct Case {
        const char *Seconds, *Level;
        QString Warning;
        const char* Focused;
    };
    const Case Cases[] = {
        {"-1", "-50", SecondsRange, "edtSilenceSeconds"},
        {"86401", "-50", SecondsRange, "edtSilenceSeconds"},
        {"60", "0", LevelRange, "edtSilenceLevel"},
        {"60", "-101", LevelRange, "edtSilenceLevel"},
        {"", "-50", SecondsNumber, "edtSilenceSeconds"},
        {"1,5", "-50", SecondsNumber, "edtSilenceSeconds"},
        {"60", "-50 dB", LevelNumber, "edtSilenceLevel"},
    };
    EXPECT_FALSE(SecondsRange.isEmpty());
    EXPECT_FALSE(LevelRange.isEmpty());
    const QByteArray Before = ReadAll(IniPath);
    const TLogData* OldData = LogData.get();
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Seconds) + " / " + C.Level);
        TfrmSettings Dialog;
        Dialog.show();
        Edit(Dialog, "edtRoot")->setText("/srv/opnames");
        Edit(Dialog, "edtDb")->setText(Dir.filePath("ander.sqlite"));
        Edit(Dialog, "edtSilenceSeconds")->setText(C.Seconds);
        Edit(Dialog, "edtSilenceLevel")->setText(C.Level);
        QString Warning;
        const auto Watch = WhenModal<QMessageBox>([&Warning](QMessageBox* Box) {
            Warning = Box->text();
            EXPECT_EQ(Box->icon(), QMessageBox::Warning);
            Box->button(QMessageBox::Ok)->click();
        });
        QTest::mouseClick(Dialog.findChild<QPushButton*>("btnOK"), Qt::LeftButton);

        EXPECT_EQ(Warning, C.Warning);
        EXPECT_TRUE(Dialog.isVisible());
        EXPECT_EQ(Dialog.focusWidget(), Edit(Dialog, C.Focused));
        EXPECT_EQ(Config->Alarm(), TAlarmSettings());
        EXPECT_EQ(Config->RootFolder(), Dir.filePath("prog/Recordings"));
        EXPECT_EQ(LogData.get(), OldData);
        EXPECT_EQ(ReadAll(IniPath), Before);
        EXPECT_FALSE(QFile::exists(Dir.filePath("ander.sqlite")));
    }
}
