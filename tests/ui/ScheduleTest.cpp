#include "DialogTestKit.h"
#include "support/SqlHelpers.h"
#include "ui/uSchedule.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

class ScheduleTest : public DatabaseTest {
protected:
    void Open() {
        Dialog = std::make_unique<TfrmSchedule>(Data.get(), nullptr);
        Dialog->show();
        Dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
        Grid = Dialog->findChild<QTableWidget*>("grid");
        Editor = Dialog->findChild<QComboBox*>("cboEdit");
        Brush = Dialog->findChild<QComboBox*>("cboBrush");
    }
    QPushButton* Button(const char* Name) { return Dialog->findChild<QPushButton*>(Name); }
    QComboBox* Combo(const char* Name) { return Dialog->findChild<QComboBox*>(Name); }

    // The text of the cell of a day (1 to 7) and an hour.
    QString Cell(int Day, int Hour) const { return Grid->item(Hour, Day - 1)->text(); }
    // How many of the 168 cells show Text.
    int CellsShowing(const QString& Text) const {
        int Count = 0;
        for (int Day = 1; Day <= 7; ++Day)
            for (int Hour = 0; Hour < 24; ++Hour)
                Count += Cell(Day, Hour) == Text;
        return Count;
    }
    // One notch of the mouse wheel over the middle of W.
    static void Wheel(QWidget* W, QPoint AngleDelta) {
        const QPointF At = QRectF(W->rect()).center();
        QWheelEvent Notch(At, W->mapToGlobal(At), QPoint(), AngleDelta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(W, &Notch);
    }
    void ClickCell(int Day, int Hour) {
        const QRect R = Grid->visualRect(Grid->model()->index(Hour, Day - 1));
        QTest::mouseClick(Grid->viewport(), Qt::LeftButton, {}, R.center());
    }
    // The cell the editor lies over, as (day, hour); (0, -1) when it lies over none.
    QPair<int, int> EditorCell() const {
        const QPoint Centre = Grid->viewport()->mapFrom(Dialog.get(), Editor->geometry().center());
        const QModelIndex At = Grid->indexAt(Centre);
        return {At.column() + 1, At.row()};
    }
    // The entries of a preset list as (text, id).
    static QList<QPair<QString, int>> Entries(const QComboBox* Box) {
        QList<QPair<QString, int>> Result;
        for (int I = 0; I < Box->count(); ++I)
            Result.append({Box->itemText(I), Box->itemData(I).toInt()});
        return Result;
    }
    // The stored schedule as (day, hour, preset_id) rows of the cells that are not 0.
    QList<QStringList> StoredNonZero() {
        return SqlRows(Data->Connection(), "SELECT day, hour, preset_id FROM schedule WHERE "
                                           "preset_id<>0 ORDER BY day, hour");
    }
    int StoredRows() {
        return SqlRows(Data->Connection(), "SELECT COUNT(*) FROM schedule")[0][0].toInt();
    }

    std::unique_ptr<TfrmSchedule> Dialog;
    QTableWidget* Grid = nullptr;
    QComboBox* Editor = nullptr;
    QComboBox* Brush = nullptr;
};

} // namespace

TEST_F(ScheduleTest, AFreshDatabaseShowsTheWeekWithoutRecordings) {
    const int32_t Twin = Data->AddPreset({0, "MP3 128 Kbit Stereo", afMP3, 48000, 1, 64, 0});
    Open();
    EXPECT_EQ(Dialog->windowTitle(), "Weekschema");
    ASSERT_EQ(Grid->columnCount(), 7);
    ASSERT_EQ(Grid->rowCount(), 24);
    EXPECT_EQ(NoRecordingLabel, QString::fromUtf8("\xE2\x80\x94 Geen opname \xE2\x80\x94"));
    EXPECT_EQ(CellsShowing(NoRecordingLabel), 168);
    EXPECT_EQ(Grid->horizontalHeaderItem(0)->text(), "Maandag");
    EXPECT_EQ(Grid->horizontalHeaderItem(6)->text(), "Zondag");
    EXPECT_EQ(Grid->verticalHeaderItem(0)->text(), "00:00");
    EXPECT_EQ(Grid->verticalHeaderItem(23)->text(), "23:00");
    EXPECT_EQ(Grid->verticalHeader()->width(), 56);
    EXPECT_EQ(Grid->columnWidth(0), 148);
    EXPECT_EQ(Grid->rowHeight(0), 22);
    EXPECT_EQ(Combo("cboHour")->count(), 24);
    EXPECT_EQ(Combo("cboHour")->itemText(9), "09:00");
    EXPECT_EQ(Combo("cboDay")->currentText(), "Maandag");

    // Two presets of one name are both offered, each with its own id.
    const QList<QPair<QString, int>> Offered = {{NoRecordingLabel, 0},
                                                {"MP3 128 Kbit Stereo", 1},
                                                {"WAV 44 kHz Stereo", 2},
                                                {"MP3 128 Kbit Stereo", Twin}};
    EXPECT_EQ(Entries(Brush), Offered);
    EXPECT_EQ(Entries(Editor), Offered);
    EXPECT_EQ(Brush->currentIndex(), 0);
    EXPECT_FALSE(Editor->isVisible());
    ExpectDarkEverywhere(Dialog.get());
}

TEST_F(ScheduleTest, AnIdWithoutPresetShowsNoRecordingAndIsWrittenBackUnchanged) {
    Data->SetSchedulePreset(2, 5, 99);
    Data->SetSchedulePreset(3, 14, 2);
    Open();
    EXPECT_EQ(Cell(2, 5), NoRecordingLabel);
    EXPECT_EQ(Cell(3, 14), "WAV 44 kHz Stereo");
    ClickCell(2, 5);
    EXPECT_TRUE(Editor->isVisible());
    EXPECT_EQ(EditorCell(), qMakePair(2, 5));
    EXPECT_EQ(Editor->currentIndex(), 0);

    QTest::mouseClick(Button("btnOK"), Qt::LeftButton);
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(StoredRows(), 168);
    EXPECT_EQ(StoredNonZero(), QList<QStringList>({{"2", "5", "99"}, {"3", "14", "2"}}));
}

TEST_F(ScheduleTest, TheEditorWritesTheCellItStandsOnAndFollowsTheKeyboard) {
    Open();
    ClickCell(3, 14);
    EXPECT_EQ(EditorCell(), qMakePair(3, 14));
    EXPECT_EQ(Editor->size(), QSize(147, 21));
    // Opening the editor's list, or another window, takes the focus without leaving the editor.
    for (const Qt::FocusReason Reason : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent Away(QEvent::FocusOut, Reason);
        QApplication::sendEvent(Editor, &Away);
        EXPECT_TRUE(Editor->isVisible());
    }
    Editor->setCurrentIndex(2); // as the operator picks it from the list
    EXPECT_EQ(Cell(3, 14), "WAV 44 kHz Stereo");
    EXPECT_EQ(EditorCell(), qMakePair(3, 14));

    // The grid keeps the focus; the arrows move the current cell and the editor with it.
    EXPECT_EQ(QApplication::focusWidget(), Grid);
    QTest::keyClick(Grid, Qt::Key_Right);
    QTest::keyClick(Grid, Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), Grid);
    EXPECT_TRUE(Editor->isVisible());
    EXPECT_EQ(EditorCell(), qMakePair(4, 13));
    EXPECT_EQ(Editor->currentIndex(), 0);

    // Tab enters the editor, the keyboard picks an entry, Shift+Tab leaves and hides it.
    QTest::keyClick(Grid, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Editor);
    QTest::keyClick(Editor, Qt::Key_Down);
    EXPECT_EQ(Cell(4, 13), "MP3 128 Kbit Stereo");
    QTest::keyClick(Editor, Qt::Key_Backtab);
    EXPECT_FALSE(Editor->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Grid);

    EXPECT_EQ(StoredRows(), 0) << "nothing is stored before OK";
    QTest::keyClick(Grid, Qt::Key_Return);
    EXPECT_EQ(Dialog->result(), QDialog::Accepted);
    EXPECT_EQ(StoredNonZero(), QList<QStringList>({{"3", "14", "2"}, {"4", "13", "1"}}));
}

TEST_F(ScheduleTest, HeadersScrollingResizingAndFillToolsHideTheEditor) {
    Open();
    Dialog->resize(900, 500);
    QTest::qWait(10);
    ASSERT_GT(Grid->horizontalScrollBar()->maximum(), 0) << "all days fit at the smallest width";
    const std::function<void()> Hiders[] = {
        [&] { Grid->verticalScrollBar()->setValue(Grid->verticalScrollBar()->maximum()); },
        [&] { Grid->horizontalScrollBar()->setValue(Grid->horizontalScrollBar()->maximum()); },
        [&] { Dialog->resize(Dialog->width() + 40, Dialog->height() + 40); },
        [&] {
            QTest::mouseClick(Grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(60, 10));
        },
        [&] {
            QTest::mouseClick(Grid->verticalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(20, 10));
        },
        [&] { QTest::mouseClick(Button("btnApplyAll"), Qt::LeftButton); },
    };
    for (const auto& Hide : Hiders) {
        Grid->verticalScrollBar()->setValue(0);
        Grid->horizontalScrollBar()->setValue(0);
        ClickCell(1, 1);
        ASSERT_TRUE(Editor->isVisible());
        Hide();
        EXPECT_FALSE(Editor->isVisible());
    }
    // Another cell after scrolling: the editor stands there with that cell's entry.
    ClickCell(5, 20);
    EXPECT_EQ(EditorCell(), qMakePair(5, 20));
}

TEST_F(ScheduleTest, TheWheelOverTheEditorScrollsTheGridAndChangesNoCell) {
    Data->SetSchedulePreset(2, 12, 2);
    Open();
    Dialog->resize(900, 500);
    QTest::qWait(10);
    QScrollBar* Rows = Grid->verticalScrollBar();
    QScrollBar* Columns = Grid->horizontalScrollBar();
    ASSERT_GE(Columns->maximum(), 2) << "no room to scroll sideways either way";
    // Down, up, right and left; over an editor on the last entry and over one on the first.
    const std::pair<QPoint, QScrollBar*> Notches[] = {
        {{0, -120}, Rows}, {{0, 120}, Rows}, {{-120, 0}, Columns}, {{120, 0}, Columns}};
    for (const auto& [Delta, Bar] : Notches) {
        for (const int Hour : {12, 13}) {
            // Room to scroll either way, with the cell in sight.
            Rows->setValue(Rows->maximum() / 2);
            Columns->setValue(1);
            ClickCell(2, Hour);
            ASSERT_TRUE(Editor->isVisible());
            ASSERT_NE(QApplication::focusWidget(), Editor);
            const int Scrolled = Bar->value();
            Wheel(Editor, Delta);
            EXPECT_NE(Bar->value(), Scrolled) << "the grid scrolls";
            EXPECT_FALSE(Editor->isVisible());
            EXPECT_EQ(Cell(2, 12), "WAV 44 kHz Stereo");
            EXPECT_EQ(CellsShowing(NoRecordingLabel), 167);
        }
    }
    QTest::mouseClick(Button("btnOK"), Qt::LeftButton);
    EXPECT_EQ(StoredRows(), 168);
    EXPECT_EQ(StoredNonZero(), QList<QStringList>({{"2", "12", "2"}}));
}

TEST_F(ScheduleTest, EnterOnAFocusedFillButtonRunsItAndElsewhereStoresWithOk) {
    // Each button with one cell it fills and how many it fills, for 09:00 and Woensdag.
    const std::tuple<const char*, int, int, int> Fills[] = {
        {"btnApplyHour", 5, 9, 7}, {"btnApplyDay", 3, 17, 24}, {"btnApplyAll", 7, 23, 168}};
    for (const auto& [Name, Day, Hour, Count] : Fills) {
        SqlRows(Data->Connection(), "DELETE FROM schedule");
        Open();
        Combo("cboHour")->setCurrentIndex(9);
        Combo("cboDay")->setCurrentIndex(2);
        Brush->setCurrentIndex(2);
        QPushButton* Fill = Button(Name);
        Fill->setFocus();
        QTest::keyClick(Fill, Qt::Key_Return);
        EXPECT_TRUE(Dialog->isVisible()) << Name;
        EXPECT_EQ(Cell(Day, Hour), "WAV 44 kHz Stereo") << Name;
        EXPECT_EQ(CellsShowing("WAV 44 kHz Stereo"), Count) << Name;
        EXPECT_EQ(StoredRows(), 0) << Name;

        Grid->setFocus();
        QTest::keyClick(Grid, Qt::Key_Return);
        EXPECT_EQ(Dialog->result(), QDialog::Accepted) << Name;
        EXPECT_EQ(StoredNonZero().size(), Count) << Name;
    }
}

TEST_F(ScheduleTest, FillToolsWriteTheCopyAndOkStoresAllCells) {
    Data->SetSchedulePreset(6, 10, 1);
    Open();
    Brush->setCurrentIndex(2);                                 // WAV 44 kHz Stereo, id 2
    QTest::mouseClick(Button("btnApplyHour"), Qt::LeftButton); // 00:00 is chosen
    for (int Day = 1; Day <= 7; ++Day)
        EXPECT_EQ(Cell(Day, 0), "WAV 44 kHz Stereo");
    EXPECT_EQ(CellsShowing("WAV 44 kHz Stereo"), 7);

    Combo("cboDay")->setCurrentIndex(6);
    Brush->setCurrentIndex(1);
    QTest::mouseClick(Button("btnApplyDay"), Qt::LeftButton);
    for (int Hour = 0; Hour < 24; ++Hour)
        EXPECT_EQ(Cell(7, Hour), "MP3 128 Kbit Stereo");
    EXPECT_EQ(CellsShowing("MP3 128 Kbit Stereo"), 25);
    EXPECT_EQ(StoredRows(), 1) << "the fill tools change only the dialog's copy";

    QTest::mouseClick(Button("btnOK"), Qt::LeftButton);
    QList<QStringList> Expected;
    for (int Day = 1; Day <= 6; ++Day)
        Expected.append({QString::number(Day), "0", "2"});
    Expected.append({"6", "10", "1"});
    for (int Hour = 0; Hour < 24; ++Hour)
        Expected.append({"7", QString::number(Hour), "1"});
    EXPECT_EQ(StoredNonZero(), Expected);
    EXPECT_EQ(StoredRows(), 168);
}

TEST_F(ScheduleTest, TheWholeWeekClearedWithNoRecordingStoresZeroEverywhere) {
    for (int Day = 1; Day <= 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour)
            Data->SetSchedulePreset(Day, Hour, 1 + (Day + Hour) % 2);
    Open();
    EXPECT_EQ(CellsShowing(NoRecordingLabel), 0);
    QTest::mouseClick(Button("btnApplyAll"), Qt::LeftButton);
    EXPECT_EQ(CellsShowing(NoRecordingLabel), 168);
    QTest::mouseClick(Button("btnOK"), Qt::LeftButton);
    EXPECT_EQ(StoredRows(), 168);
    EXPECT_TRUE(StoredNonZero().isEmpty());
}

TEST_F(ScheduleTest, CancelAfterFillToolsStoresNothing) {
    Data->SetSchedulePreset(1, 1, 2);
    const std::function<void()> Cancellers[] = {
        [this] { QTest::mouseClick(Button("btnCancel"), Qt::LeftButton); },
        [this] { QTest::keyClick(Grid, Qt::Key_Escape); },
        [this] { Dialog->close(); },
    };
    for (const auto& Cancel : Cancellers) {
        Open();
        Brush->setCurrentIndex(1);
        QTest::mouseClick(Button("btnApplyAll"), Qt::LeftButton);
        Cancel();
        EXPECT_FALSE(Dialog->isVisible());
        EXPECT_EQ(Dialog->result(), QDialog::Rejected);
        EXPECT_EQ(StoredNonZero(), QList<QStringList>({{"1", "1", "2"}}));
        EXPECT_EQ(StoredRows(), 1);
    }
}

TEST_F(ScheduleTest, AStoreErrorDuringOkKeepsTheWrittenCellsAndTheDialogOpen) {
    Open();
    Brush->setCurrentIndex(1);
    QTest::mouseClick(Button("btnApplyAll"), Qt::LeftButton);
    SqlRows(Data->Connection(), "CREATE TRIGGER refuse BEFORE INSERT ON schedule WHEN "
                                "NEW.day=4 BEGIN SELECT RAISE(ABORT, 'geweigerd'); END");
    try {
        Button("btnOK")->click();
        ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& E) {
        EXPECT_STREQ(E.what(), "databasefout (geweigerd)");
    }
    EXPECT_TRUE(Dialog->isVisible());
    EXPECT_EQ(StoredNonZero().size(), 3 * 24);
}
