#include "data/uData.h"
#include "support/SqlHelpers.h"
#include "ui/CoverageStrip.h"
#include "ui/ListingGrid.h"
#include "ui/uLog.h"

#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class LogTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    std::unique_ptr<TLogData> Data;

    void SetUp() override { Data = std::make_unique<TLogData>(Dir.filePath("Vantor2026.sqlite")); }
    void TearDown() override { Data.reset(); }

    // Logs a recording started at Moment ("yyyy-MM-dd HH:mm:ss") and returns its id.
    int32_t Log(const QString& Moment, const QString& FilePath = "/opnames/x.mp3",
                const QString& PresetName = "MP3 128 Kbit Stereo") {
        TPreset P;
        P.Name = PresetName;
        P.Format = afMP3;
        const QDateTime At = QDateTime::fromString(Moment, "yyyy-MM-dd HH:mm:ss");
        return Data->LogRecording(P, At, 1, "x.mp3", FilePath);
    }

    QString Stored(int32_t Id, const char* Column) {
        return SqlRows(Data->Connection(),
                       QString("SELECT %1 FROM recordings WHERE id=%2").arg(Column).arg(Id))
            .value(0)
            .value(0);
    }

    struct TView {
        QTableView* Grid;
        QLineEdit* Title;
        QLineEdit* Persons;
        QLabel* Path;
    };
    static TView View(TfrmLog& Window) {
        return {Window.findChild<QTableView*>("grd"), Window.findChild<QLineEdit*>("edtTitle"),
                Window.findChild<QLineEdit*>("edtPersons"), Window.findChild<QLabel*>("lblPath")};
    }
    static int32_t CurrentId(TfrmLog& Window) {
        const QTableView* Grid = View(Window).Grid;
        return Grid->model()->index(Grid->currentIndex().row(), 0).data().toInt();
    }
    static void SelectRow(TfrmLog& Window, int Row) {
        QTableView* Grid = View(Window).Grid;
        Grid->setFocus();
        Grid->setCurrentIndex(Grid->model()->index(Row, 0));
    }
};

} // namespace

TEST_F(LogTest, AnEmptyLogShowsTheTenHeadingsAndEmptyFieldsAndSavesNothing) {
    TfrmLog Window(Data.get());
    const TView V = View(Window);
    const QStringList Expected{"id",     "Datum/tijd", "Uur",      "Nr",      "Formaat",
                               "Preset", "Titel",      "Personen", "Duur(s)", "filepath"};
    ASSERT_EQ(V.Grid->model()->columnCount(), Expected.size());
    for (int Col = 0; Col < Expected.size(); ++Col)
        EXPECT_EQ(V.Grid->model()->headerData(Col, Qt::Horizontal).toString(), Expected[Col]);
    EXPECT_EQ(V.Grid->model()->rowCount(), 0);
    EXPECT_TRUE(V.Title->text().isEmpty());
    EXPECT_TRUE(V.Persons->text().isEmpty());
    EXPECT_TRUE(V.Path->text().isEmpty());

    V.Title->setText("niets");
    Window.btnSaveClick();
    QSqlQuery Q(Data->Connection());
    Q.exec("SELECT COUNT(*) FROM recordings");
    Q.next();
    EXPECT_EQ(Q.value(0).toInt(), 0);
}

TEST_F(LogTest, ListsNewestFirstAndTheHigherIdFirstAtTheSameMoment) {
    const int32_t Older = Log("2026-01-05 09:00:00");
    const int32_t SameA = Log("2026-01-05 10:00:00");
    const int32_t SameB = Log("2026-01-05 10:00:00");
    const int32_t Earliest = Log("2026-01-04 23:00:00");
    TfrmLog Window(Data.get());
    const QAbstractItemModel* Model = View(Window).Grid->model();
    QList<int32_t> Ids;
    for (int Row = 0; Row < Model->rowCount(); ++Row)
        Ids << Model->index(Row, 0).data().toInt();
    EXPECT_EQ(Ids, (QList<int32_t>{SameB, SameA, Older, Earliest}));
    EXPECT_EQ(CurrentId(Window), SameB);
    EXPECT_EQ(View(Window).Path->text(), "/opnames/x.mp3");
}

TEST_F(LogTest, SavingKeepsTheSavedRecordingCurrentEvenAfterNewRowsWereLogged) {
    for (int Hour = 1; Hour <= 8; ++Hour)
        Log(QString("2026-01-05 %1:00:00").arg(Hour, 2, 10, QChar('0')),
            QString("/opnames/%1.mp3").arg(Hour));
    TfrmLog Window(Data.get());
    SelectRow(Window, 4);
    const int32_t Fifth = CurrentId(Window);
    EXPECT_EQ(View(Window).Path->text(), "/opnames/4.mp3");

    Log("2026-01-05 09:00:00");
    Log("2026-01-05 10:00:00");
    View(Window).Title->setText("Ochtendprogramma");
    View(Window).Persons->setText("Anna, Bert");
    QTest::mouseClick(Window.findChild<QPushButton*>("btnSave"), Qt::LeftButton);

    EXPECT_EQ(View(Window).Grid->model()->rowCount(), 10);
    EXPECT_EQ(CurrentId(Window), Fifth);
    EXPECT_EQ(View(Window).Grid->currentIndex().row(), 6);
    EXPECT_EQ(View(Window).Title->text(), "Ochtendprogramma");
    EXPECT_EQ(View(Window).Persons->text(), "Anna, Bert");
    EXPECT_EQ(Stored(Fifth, "title"), "Ochtendprogramma");
    EXPECT_EQ(Stored(Fifth, "persons"), "Anna, Bert");

    // Empty texts are saved as empty texts.
    View(Window).Title->clear();
    Window.btnSaveClick();
    EXPECT_EQ(Stored(Fifth, "title"), "");
    EXPECT_EQ(Stored(Fifth, "title IS NULL"), "0");
}

TEST_F(LogTest, RefreshMakesTheNewestRecordingCurrent) {
    Log("2026-01-05 09:00:00");
    Log("2026-01-05 10:00:00");
    TfrmLog Window(Data.get());
    SelectRow(Window, 1);
    const int32_t Newest = Log("2026-01-05 11:00:00", "/opnames/nieuw.mp3");
    QTest::mouseClick(Window.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_EQ(View(Window).Grid->model()->rowCount(), 3);
    EXPECT_EQ(CurrentId(Window), Newest);
    EXPECT_EQ(View(Window).Path->text(), "/opnames/nieuw.mp3");
}

TEST_F(LogTest, AnotherRowReplacesTypedTextAndSavesNothing) {
    const int32_t First = Log("2026-01-05 09:00:00");
    const int32_t Second = Log("2026-01-05 10:00:00");
    Data->UpdateRecordingMeta(First, "Oude titel", "Carla");
    TfrmLog Window(Data.get());
    ASSERT_EQ(CurrentId(Window), Second);
    View(Window).Title->setText("getypt");
    QTest::keyClick(View(Window).Grid, Qt::Key_Down);
    EXPECT_EQ(CurrentId(Window), First);
    EXPECT_EQ(View(Window).Title->text(), "Oude titel");
    EXPECT_EQ(View(Window).Persons->text(), "Carla");
    EXPECT_EQ(Stored(Second, "title"), "");
}

TEST_F(LogTest, EnterAndEscapeCloseWithoutSaving) {
    const int32_t Id = Log("2026-01-05 09:00:00");
    for (const Qt::Key Key : {Qt::Key_Return, Qt::Key_Escape}) {
        TfrmLog Window(Data.get());
        constexpr int StillOpen = 99;
        QTimer::singleShot(0, &Window, [&Window, Key] {
            QLineEdit* Title = View(Window).Title;
            Title->setFocus();
            QTest::keyClicks(Title, "niet bewaard");
            QTest::keyClick(Title, Key);
        });
        QTimer::singleShot(2000, &Window, [&Window] { Window.done(StillOpen); });
        EXPECT_NE(Window.exec(), StillOpen) << Key;
        EXPECT_EQ(Stored(Id, "title"), "");
    }
}

TEST_F(LogTest, ColumnsAreSizedToTheirTextsBetween36And420) {
    Log("2026-01-05 09:00:00", "/opnames/" + QString(300, 'x') + ".mp3", "P");
    TfrmLog Window(Data.get());
    const QTableView* Grid = View(Window).Grid;
    const QFontMetrics Metrics = Grid->fontMetrics();
    EXPECT_EQ(Grid->columnWidth(0), 36);  // "id" and "1"
    EXPECT_EQ(Grid->columnWidth(3), 36);  // "Nr" and "1"
    EXPECT_EQ(Grid->columnWidth(9), 420); // the long path
    EXPECT_EQ(Grid->columnWidth(1), Metrics.horizontalAdvance("2026-01-05 09:00:00") + 16);
    EXPECT_EQ(Grid->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
}

TEST_F(LogTest, ALongTitleIsShownOnOneLineInTheGridAndStoredWhole) {
    const int32_t Id = Log("2026-01-05 09:00:00");
    const QString Long = QString("regel\n") + QString(4994, 'a');
    Data->UpdateRecordingMeta(Id, Long, "");
    TfrmLog Window(Data.get());
    const QString Shown = View(Window).Grid->model()->index(0, 6).data().toString();
    EXPECT_EQ(Shown.size(), TListing::MaxTextLength);
    EXPECT_TRUE(Shown.startsWith("regel a"));
    EXPECT_EQ(View(Window).Title->text(), Long);

    // Saving what the box holds keeps all 5000 characters.
    View(Window).Title->setText(View(Window).Title->text() + "b");
    Window.btnSaveClick();
    EXPECT_EQ(Stored(Id, "title"), Long + "b");
}

TEST_F(LogTest, TheOpenWindowLetsOtherProgramsWriteTheFile) {
    // More rows than the grid's model fetches at once, so a half-read listing would still hold
    // its read lock.
    QSqlQuery(Data->Connection())
        .exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300) "
              "INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,title,persons) "
              "SELECT '2026-01-05 09:00:00','2026-01-05',9,1,'','' FROM n");
    TfrmLog Window(Data.get());
    ASSERT_TRUE(View(Window).Grid->model()->canFetchMore({}));
    SqlExecOnFile(Dir.filePath("Vantor2026.sqlite"),
                  {"PRAGMA busy_timeout=100", "UPDATE recordings SET title='elders' WHERE id=1"});
}

TEST_F(LogTest, TheGridTakesTheHeightBeyondTheDesignSize) {
    TfrmLog Window(Data.get());
    EXPECT_EQ(Window.size(), QSize(900, 520));
    EXPECT_EQ(Window.minimumSize(), QSize(700, 400));
    Window.show();
    Window.resize(1200, 800);
    EXPECT_EQ(Window.findChild<QWidget*>("pnlFind")->geometry(), QRect(0, 0, 1200, 48));
    EXPECT_EQ(View(Window).Grid->geometry(), QRect(0, 48, 1200, 466));
    EXPECT_EQ(Window.findChild<QLabel*>("lblCoverage")->geometry(), QRect(16, 518, 1168, 20));
    EXPECT_EQ(Window.findChild<QWidget*>("pnlCoverage")->geometry(), QRect(16, 538, 1168, 34));
    EXPECT_EQ(Window.findChild<QWidget*>("pnlPlayback")->geometry(), QRect(0, 576, 1200, 44));
    EXPECT_EQ(Window.findChild<QWidget*>("pnlEdit")->geometry(), QRect(0, 620, 1200, 180));
    EXPECT_EQ(View(Window).Title->geometry(), QRect(16, 34, 1168, 23));
    EXPECT_EQ(Window.findChild<QPushButton*>("btnClose")->geometry(), QRect(1074, 138, 110, 30));
}

namespace {

// A log of three recordings in the test's folder: the newest with its file, the middle one
// whose file was deleted, and the oldest with its file.
class DeletedRowTest : public LogTest {
protected:
    QString Kept, Deleted, Oldest;

    void SetUp() override {
        LogTest::SetUp();
        Oldest = Recording("2026-01-05 08:00:00", "08.mp3");
        Deleted = Recording("2026-01-05 09:00:00", "09.mp3");
        Kept = Recording("2026-01-05 10:00:00", "10.mp3");
        ASSERT_TRUE(QFile::remove(Deleted));
    }

    QString Recording(const QString& Moment, const QString& Name) {
        const QString Path = Dir.filePath(Name);
        QFile File(Path);
        EXPECT_TRUE(File.open(QIODevice::WriteOnly));
        Log(Moment, Path);
        return Path;
    }

    // The text and the colour the grid draws a cell with.
    static std::pair<QString, QColor> Drawn(TfrmLog& Window, int Row, int Column) {
        QTableView* Grid = View(Window).Grid;
        QStyleOptionViewItem Option;
        Option.palette = Grid->palette();
        auto* Delegate = qobject_cast<TDeletedRowDelegate*>(Grid->itemDelegate());
        Delegate->initStyleOption(&Option, Grid->model()->index(Row, Column));
        return {Option.text, Option.palette.color(QPalette::Active, QPalette::Text)};
    }
};

} // namespace

TEST_F(DeletedRowTest, ARowWhoseFileIsGoneIsGreyedWithAMarkerAfterItsPath) {
    TfrmLog Window(Data.get());
    const QPalette& Palette = View(Window).Grid->palette();
    const QColor Normal = Palette.color(QPalette::Active, QPalette::Text);
    const QColor Grey = Palette.color(QPalette::Disabled, QPalette::Text);
    // Dimmer than the other rows, and still well apart from the grid's background.
    EXPECT_LT(Grey.lightness(), Normal.lightness() - 60);
    EXPECT_GT(Grey.lightness(), Palette.color(QPalette::Base).lightness() + 60);
    struct Case {
        int Row, Column;
        QString Text;
        QColor Colour;
    };
    const Case Cases[] = {
        {0, 9, Kept, Normal},
        {0, 1, "2026-01-05 10:00:00", Normal},
        {1, 9, Deleted + " (verwijderd)", Grey},
        {1, 1, "2026-01-05 09:00:00", Grey},
        {1, 5, "MP3 128 Kbit Stereo", Grey},
        {2, 9, Oldest, Normal},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(QString("rij %1, kolom %2").arg(C.Row).arg(C.Column).toStdString());
        const auto [Text, Colour] = Drawn(Window, C.Row, C.Column);
        EXPECT_EQ(Text, C.Text);
        EXPECT_EQ(Colour, C.Colour);
    }
    // The stored path itself is unchanged.
    EXPECT_EQ(View(Window).Grid->model()->index(1, 9).data().toString(), Deleted);
}

TEST_F(DeletedRowTest, SavingAnotherRowKeepsWorkingAndRefreshShowsFilesDeletedSince) {
    TfrmLog Window(Data.get());
    Window.show();
    SelectRow(Window, 2);
    View(Window).Title->setText("Ochtendnieuws");
    Window.btnSaveClick();
    EXPECT_EQ(CurrentId(Window), 1);
    EXPECT_EQ(Stored(1, "title"), "Ochtendnieuws");
    EXPECT_EQ(Drawn(Window, 1, 9).first, Deleted + " (verwijderd)");
    EXPECT_EQ(Drawn(Window, 2, 9).first, Oldest);

    ASSERT_TRUE(QFile::remove(Kept));
    QTest::mouseClick(Window.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_EQ(Drawn(Window, 0, 9).first, Kept + " (verwijderd)");
    EXPECT_EQ(Drawn(Window, 2, 9).first, Oldest);
}

TEST_F(LogTest, OnlyTheRowsInViewHaveTheirFilesLookedAt) {
    QSqlQuery(Data->Connection())
        .exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<5000) "
              "INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,title,persons,filepath) "
              "SELECT '2026-01-05 09:00:00','2026-01-05',9,1,'','','/opnames/' || i || '.mp3' "
              "FROM n");
    QSet<QString> Asked;
    TfrmLog Window(Data.get(), nullptr, [&Asked](const QString& Path) {
        Asked.insert(Path);
        return false;
    });
    EXPECT_TRUE(Asked.isEmpty());
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    Window.grab();
    EXPECT_TRUE(Asked.contains("/opnames/5000.mp3"));
    EXPECT_LT(Asked.size(), 50);

    // Also with every row read, only the ones in view are looked at.
    QAbstractItemModel* Model = View(Window).Grid->model();
    while (Model->canFetchMore({}))
        Model->fetchMore({});
    View(Window).Grid->scrollToBottom();
    Window.grab();
    EXPECT_TRUE(Asked.contains("/opnames/1.mp3"));
    EXPECT_LT(Asked.size(), 100);
}

namespace {

// A log with a Monday of three scheduled hours, 09:00 to 12:00 on 5 January 2026: the first
// recorded whole, the second with a gap where the sound server went away, the third not at
// all; and a recording on the Sunday before, when nothing was scheduled.
class CoverageTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        for (const int Hour : {9, 10, 11})
            Data->SetSchedulePreset(1, Hour, 1);
        Recording("2026-01-04 20:00:00.000", "2026-01-04 20:30:00.000");
        Recording("2026-01-05 09:00:00.000", "2026-01-05 10:00:00.000");
        Recording("2026-01-05 10:00:00.000", "2026-01-05 10:20:03.120");
        Data->LogGap(Local("2026-01-05 10:20:03.120"), Local("2026-01-05 10:20:15.520"), "capture");
        Recording("2026-01-05 10:20:15.520", "2026-01-05 11:00:00.000");
    }

    static QDateTime Local(const char* Text) {
        return QDateTime::fromString(Text, "yyyy-MM-dd HH:mm:ss.zzz");
    }

    void Recording(const char* From, const char* To) {
        TAudioTimes Times;
        Times.Start = Local(From);
        Times.End = Local(To);
        Times.SampleRate = 48000;
        Times.Frames = Times.Start.msecsTo(Times.End) * 48;
        Times.RecordingId = Log(Times.Start.toString("yyyy-MM-dd HH:mm:ss"));
        Data->SetAudioTimes(Times);
    }

    static QString Label(TfrmLog& Window) {
        return Window.findChild<QLabel*>("lblCoverage")->text();
    }
    static QVector<TCoverageCell*> Cells(TfrmLog& Window) {
        return Window.findChild<TCoverageStrip*>("pnlCoverage")->Cells();
    }
    // Each hour's state, "-" where none is scheduled.
    static QString States(TfrmLog& Window) {
        QString Result;
        for (const TCoverageCell* Cell : Cells(Window))
            Result += QString("-VDMT").at(static_cast<int>(Cell->Hour().State()));
        return Result;
    }
};

} // namespace

TEST_F(CoverageTest, TheStripShowsTheDayOfTheCurrentRecording) {
    TfrmLog Window(Data.get());
    ASSERT_EQ(View(Window).Grid->model()->rowCount(), 4);
    EXPECT_EQ(Label(Window), "Dekking maandag 05-01-2026");
    EXPECT_EQ(States(Window), "---------VDM------------");
    EXPECT_TRUE(Cells(Window)[10]->toolTip().contains(
        "10:20:03,120–10:20:15,520 (12,4 s): geluidsserver weg"));
    EXPECT_EQ(Window.findChild<QWidget*>("pnlCoverage")->accessibleName(), Label(Window));

    SelectRow(Window, 3);
    EXPECT_EQ(Label(Window), "Dekking zondag 04-01-2026");
    EXPECT_EQ(States(Window), QString(24, '-'));
    SelectRow(Window, 1);
    EXPECT_EQ(Label(Window), "Dekking maandag 05-01-2026");
    EXPECT_EQ(States(Window), "---------VDM------------");
}

TEST_F(CoverageTest, WithoutARecordingTheStripShowsTodayAsFarAsItHasPassed) {
    // Monday 12 January, half past ten: the hour of ten has passed for half, eleven is to come.
    const QDateTime Now = CoverageTest::Local("2026-01-12 10:30:00.000");
    TfrmLog Window(Data.get(), nullptr, FileExists, [Now] { return Now; });
    Window.findChild<QLineEdit*>("edtFind")->setText("niets");
    Window.LoadLog(-1);
    ASSERT_EQ(View(Window).Grid->model()->rowCount(), 0);
    EXPECT_EQ(Label(Window), "Dekking maandag 12-01-2026");
    EXPECT_EQ(States(Window), "---------MMT------------");
    EXPECT_EQ(Cells(Window)[10]->Hour().MissingSeconds, 1800);
}

TEST_F(CoverageTest, ADatabaseErrorShowsInTheLabelAndTheListingStaysUsable) {
    TfrmLog Window(Data.get());
    QSqlQuery(Data->Connection()).exec("DROP TABLE gaps");
    SelectRow(Window, 3);
    EXPECT_TRUE(Label(Window).startsWith("Dekking zondag 04-01-2026: niet te lezen ("))
        << Label(Window).toStdString();
    EXPECT_TRUE(Label(Window).contains("gaps")) << Label(Window).toStdString();
    EXPECT_TRUE(Cells(Window).isEmpty());
    EXPECT_EQ(CurrentId(Window), 1);
    EXPECT_EQ(View(Window).Path->text(), "/opnames/x.mp3");
}

TEST_F(CoverageTest, ARecordingWhoseTimeIsUnreadableShowsNoDay) {
    QSqlQuery(Data->Connection())
        .exec("INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,title,persons) "
              "VALUES('onzin','onzin',0,1,'','')");
    TfrmLog Window(Data.get());
    ASSERT_EQ(View(Window).Grid->model()->index(0, 1).data().toString(), "onzin");
    EXPECT_EQ(Label(Window), "Dekking: de datum van deze opname is niet te lezen");
    EXPECT_TRUE(Cells(Window).isEmpty());
    SelectRow(Window, 1);
    EXPECT_EQ(Label(Window), "Dekking maandag 05-01-2026");
    SelectRow(Window, 0);
    EXPECT_EQ(Label(Window), "Dekking: de datum van deze opname is niet te lezen");
    EXPECT_TRUE(Cells(Window).isEmpty());
}
