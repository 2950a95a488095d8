#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "data/uData.h"
#include "ui/uSettings.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
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
