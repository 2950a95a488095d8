#include "DialogTestKit.h"
#include "support/SqlHelpers.h"
#include "ui/uPresetEdit.h"
#include "ui/uPresets.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PresetsTest : public DatabaseTest {
protected:
    // Opens the dialog as the main window does, but without a modal loop of its own.
    void Open() {
        Dialog = std::make_unique<TfrmPresets>(Data.get(), nullptr);
        Dialog->show();
        Dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
        List = Dialog->findChild<QTableWidget*>("lvPresets");
        for (const char* Name : {"btnAdd", "btnEdit", "btnDelete", "btnUp", "btnDown", "btnClose"})
            Buttons[Name] = Dialog->findChild<QPushButton*>(Name);
    }

    QList<QStringList> Rows() const {
        QList<QStringList> Result;
        for (int Row = 0; Row < List->rowCount(); ++Row) {
            QStringList Texts;
            for (int Column = 0; Column < List->columnCount(); ++Column)
                Texts << List->item(Row, Column)->text();
            Result << Texts;
        }
        return Result;
    }
    QStringList Names() const {
        QStringList Result;
        for (const QStringList& Row : Rows())
            Result << Row.front();
        return Result;
    }
    int SelectedRow() const {
        const QList<QTableWidgetSelectionRange> Ranges = List->selectedRanges();
        return Ranges.isEmpty() ? -1 : Ranges.front().topRow();
    }
    // Which of edit, delete, up and down are enabled, as "1" and "0".
    QString EnabledButtons() {
        QString Result;
        for (const char* Name : {"btnEdit", "btnDelete", "btnUp", "btnDown"})
            Result += Buttons[Name]->isEnabled() ? u'1' : u'0';
        return Result;
    }
    void Click(const char* Button) { QTest::mouseClick(Buttons[Button], Qt::LeftButton); }
    void DoubleClickRow(int Row) {
        const QPoint At = List->visualRect(List->model()->index(Row, 0)).center();
        QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, At);
        QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, At);
    }
    QList<QStringList> StoredOrder() {
        return SqlRows(Data->Connection(), "SELECT name FROM presets ORDER BY sortorder, id");
    }

    std::unique_ptr<TfrmPresets> Dialog;
    QTableWidget* List = nullptr;
    std::map<std::string, QPushButton*> Buttons;
};

} // namespace

TEST_F(PresetsTest, TheListShowsEveryPresetInStoreOrderWithItsColumnTexts) {
    Data->AddPreset({0, "Wav met bitrate", afWAV, 48000, 1, 128, 0});
    Data->AddPreset({0, "Mp3 zonder", afMP3, 8000, 3, 0, 0});
    Data->AddPreset({0, "Opus", afOPUS, 48000, 2, 96, -1});
    Open();
    EXPECT_EQ(Dialog->windowTitle(), "Opname-presets");
    const QStringList Headers = {"Naam", "Formaat", "Sample Hz", "Kanalen", "Bitrate"};
    const int Widths[] = {240, 80, 90, 80, 80};
    for (int Column = 0; Column < 5; ++Column) {
        EXPECT_EQ(List->horizontalHeaderItem(Column)->text(), Headers[Column]);
        EXPECT_EQ(List->columnWidth(Column), Widths[Column]);
    }
    EXPECT_EQ(Rows(), QList<QStringList>({
                          {"Opus", "OPUS", "48000", "Stereo", "96 kbps"},
                          {"MP3 128 Kbit Stereo", "MP3", "44100", "Stereo", "128 kbps"},
                          {"WAV 44 kHz Stereo", "WAV", "44100", "Stereo", "-"},
                          {"Wav met bitrate", "WAV", "48000", "Mono", "-"},
                          {"Mp3 zonder", "MP3", "8000", "Mono", "0 kbps"},
                      }));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(EnabledButtons(), "1101");
    ExpectDarkEverywhere(Dialog.get());
}

TEST_F(PresetsTest, AnEmptyTableLeavesOnlyAddAndCloseAndIgnoresDoubleClicks) {
    Data->DeletePreset(1);
    Data->DeletePreset(2);
    Open();
    EXPECT_EQ(List->rowCount(), 0);
    EXPECT_EQ(SelectedRow(), -1);
    EXPECT_EQ(EnabledButtons(), "0000");
    EXPECT_TRUE(Buttons["btnAdd"]->isEnabled());
    EXPECT_TRUE(Buttons["btnClose"]->isEnabled());

    bool EditorOpened = false;
    const auto Watch = WhenModal<TfrmPresetEdit>([&](TfrmPresetEdit* D) {
        EditorOpened = true;
        D->reject();
    });
    QTest::mouseDClick(List->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::qWait(100);
    EXPECT_FALSE(EditorOpened);
}

TEST_F(PresetsTest, AddingStoresANewPresetLastAndSelectsIt) {
    Open();
    List->selectRow(0);
    const auto Cancelling = WhenModal<TfrmPresetEdit>(
        [](TfrmPresetEdit* D) { D->findChild<QPushButton*>("btnCancel")->click(); });
    Click("btnAdd");
    EXPECT_EQ(StoredOrder().size(), 2);

    const auto Naming = WhenModal<TfrmPresetEdit>([](TfrmPresetEdit* D) {
        EXPECT_EQ(D->findChild<QLineEdit*>("edtName")->text(), "Nieuwe preset");
        D->findChild<QLineEdit*>("edtName")->setText("Avond");
        D->findChild<QPushButton*>("btnOK")->click();
    });
    Click("btnAdd");
    EXPECT_EQ(Names(), QStringList({"MP3 128 Kbit Stereo", "WAV 44 kHz Stereo", "Avond"}));
    EXPECT_EQ(SelectedRow(), 2);
    EXPECT_EQ(EnabledButtons(), "1110");
    EXPECT_EQ(SqlRows(Data->Connection(),
                      "SELECT name,format,samplerate,channels,bitrate,sortorder FROM presets "
                      "WHERE id=3"),
              QList<QStringList>({{"Avond", "MP3", "44100", "2", "128", "2"}}));
}

TEST_F(PresetsTest, EditingByDoubleClickKeepsThePlaceAndTheSelection) {
    Data->AddPreset({0, "Derde", afOGG, 48000, 2, 160, 0});
    Open();
    const auto Watch = WhenModal<TfrmPresetEdit>([](TfrmPresetEdit* D) {
        EXPECT_EQ(D->findChild<QLineEdit*>("edtName")->text(), "WAV 44 kHz Stereo");
        D->findChild<QLineEdit*>("edtName")->setText("Hernoemd");
        D->findChild<QPushButton*>("btnOK")->click();
    });
    DoubleClickRow(1);
    EXPECT_EQ(Names(), QStringList({"MP3 128 Kbit Stereo", "Hernoemd", "Derde"}));
    EXPECT_EQ(SelectedRow(), 1);
    EXPECT_EQ(SqlRows(Data->Connection(), "SELECT sortorder FROM presets WHERE id=2"),
              QList<QStringList>{{"1"}});
}

TEST_F(PresetsTest, EnterRunsTheFocusedButtonAndKeepsTheDialogOpen) {
    Open();
    const auto Naming = WhenModal<TfrmPresetEdit>([](TfrmPresetEdit* D) {
        D->findChild<QLineEdit*>("edtName")->setText("Ochtend");
        D->findChild<QPushButton*>("btnOK")->click();
    });
    Buttons["btnAdd"]->setFocus();
    QTest::keyClick(Buttons["btnAdd"], Qt::Key_Return);
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Names(), QStringList({"MP3 128 Kbit Stereo", "WAV 44 kHz Stereo", "Ochtend"}));
    EXPECT_EQ(StoredOrder().size(), 3);

    // Enter on the up button moves the new preset; from the list, Enter closes again.
    Buttons["btnUp"]->setFocus();
    QTest::keyClick(Buttons["btnUp"], Qt::Key_Return);
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(Names(), QStringList({"MP3 128 Kbit Stereo", "Ochtend", "WAV 44 kHz Stereo"}));
    List->setFocus();
    QTest::keyClick(List, Qt::Key_Return);
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
}

TEST_F(PresetsTest, DeletingAsksFirstThenSelectsTheFirstRow) {
    Data->AddPreset({0, "Derde", afOGG, 48000, 2, 160, 0});
    Data->SetSchedulePreset(1, 9, 3);
    Open();
    List->selectRow(2);

    QString Question;
    const auto Declining = WhenModal<QMessageBox>([&](QMessageBox* Box) {
        Question = Box->text();
        EXPECT_EQ(Box->defaultButton()->text(), "Ja");
        QTest::keyClick(Box, Qt::Key_Escape);
    });
    Click("btnDelete");
    EXPECT_EQ(Question, "Preset \"Derde\" verwijderen?");
    EXPECT_EQ(Names().size(), 3);
    EXPECT_EQ(SelectedRow(), 2);

    const auto Confirming =
        WhenModal<QMessageBox>([](QMessageBox* Box) { QTest::keyClick(Box, Qt::Key_Return); });
    Click("btnDelete");
    EXPECT_EQ(Names(), QStringList({"MP3 128 Kbit Stereo", "WAV 44 kHz Stereo"}));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Data->GetSchedulePreset(1, 9), 0);

    for (int Left = 2; Left > 0; --Left) {
        const auto Again =
            WhenModal<QMessageBox>([](QMessageBox* Box) { QTest::keyClick(Box, Qt::Key_Return); });
        Click("btnDelete");
    }
    EXPECT_EQ(List->rowCount(), 0);
    EXPECT_EQ(EnabledButtons(), "0000");
}

TEST_F(PresetsTest, MovingKeepsTheMovedPresetSelectedAndStopsAtTheEnds) {
    Data->AddPreset({0, "Derde", afOGG, 48000, 2, 160, 0});
    Open();
    EXPECT_EQ(EnabledButtons(), "1101") << "the first cannot move up";
    Click("btnDown");
    EXPECT_EQ(Names(), QStringList({"WAV 44 kHz Stereo", "MP3 128 Kbit Stereo", "Derde"}));
    EXPECT_EQ(SelectedRow(), 1);
    Click("btnDown");
    EXPECT_EQ(SelectedRow(), 2);
    EXPECT_EQ(EnabledButtons(), "1110") << "the last cannot move down";

    // By keyboard: arrow up in the list, then the up button pressed with the space bar.
    QTest::keyClick(List, Qt::Key_Up);
    EXPECT_EQ(SelectedRow(), 1);
    Buttons["btnUp"]->setFocus();
    QTest::keyClick(Buttons["btnUp"], Qt::Key_Space);
    EXPECT_EQ(Names(), QStringList({"Derde", "WAV 44 kHz Stereo", "MP3 128 Kbit Stereo"}));
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(StoredOrder(),
              QList<QStringList>({{"Derde"}, {"WAV 44 kHz Stereo"}, {"MP3 128 Kbit Stereo"}}));
}

TEST_F(PresetsTest, AStoreErrorReachesTheCallerAndTheListKeepsItsRows) {
    Open();
    const QList<QStringList> Before = Rows();
    SqlRows(Data->Connection(), "ALTER TABLE presets RENAME COLUMN sortorder TO volgorde");
    EXPECT_THROW(Buttons["btnDown"]->click(), EDatabaseError);
    EXPECT_EQ(Rows(), Before);
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_TRUE(Dialog->isVisible());
}

TEST_F(PresetsTest, SluitenEnterAndEscapeCloseWithOk) {
    Open();
    QTest::keyClick(List, Qt::Key_Return);
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    Open();
    QTest::keyClick(List, Qt::Key_Escape);
    EXPECT_FALSE(Dialog->isVisible());
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
}
