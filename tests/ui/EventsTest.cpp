#include "control/Trouble.h"
#include "data/uData.h"
#include "ui/DialogTestKit.h"
#include "ui/ListingGrid.h"
#include "ui/uEvents.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

class EventsTest : public DatabaseTest {
protected:
    void Log(const char* Moment, const char* Event, const char* Kind, const QString& Text,
             const QString& File = QString()) {
        Data->LogEvent(QDateTime::fromString(Moment, "yyyy-MM-dd HH:mm:ss"), Event, Kind, Text,
                       File);
    }
    static QTableView* Grid(TfrmEvents& Window) { return Window.findChild<QTableView*>("grd"); }
    // The visible cells of every row, top to bottom.
    static QList<QStringList> Shown(TfrmEvents& Window) {
        const QTableView* G = Grid(Window);
        QList<QStringList> Rows;
        for (int Row = 0; Row < G->model()->rowCount(); ++Row) {
            QStringList Cells;
            for (int Col = 0; Col < G->model()->columnCount(); ++Col)
                if (!G->isColumnHidden(Col))
                    Cells << G->model()->index(Row, Col).data().toString();
            Rows << Cells;
        }
        return Rows;
    }
};

} // namespace

TEST_F(EventsTest, ListsEveryEventNewestFirstWithoutItsId) {
    Log("2026-03-05 14:00:10", "begin", "capture", "Opname-apparaat weg", "/opnames/a.mp3");
    Log("2026-03-05 14:02:40", "einde", "capture", "Opname-apparaat weg (2 min 30 s)",
        "/opnames/a.mp3");
    Log("2026-03-05 14:00:10", "opdracht", "capture", "piep: afgesloten met 0");
    Log("2026-03-04 09:00:00", "herstel", "repair", "1 opname hersteld");
    TfrmEvents Window(Data.get());
    const QTableView* G = Grid(Window);
    QStringList Headings;
    for (int Col = 0; Col < G->model()->columnCount(); ++Col)
        if (!G->isColumnHidden(Col))
            Headings << G->model()->headerData(Col, Qt::Horizontal).toString();
    EXPECT_EQ(Headings,
              (QStringList{"Datum/tijd", "Gebeurtenis", "Soort", "Omschrijving", "Bestand"}));
    EXPECT_EQ(
        Shown(Window),
        (QList<QStringList>{
            {"2026-03-05 14:02:40", "einde", "opname-ingang weg",
             "Opname-apparaat weg (2 min 30 s)", "/opnames/a.mp3"},
            {"2026-03-05 14:00:10", "opdracht", "opname-ingang weg", "piep: afgesloten met 0", ""},
            {"2026-03-05 14:00:10", "begin", "opname-ingang weg", "Opname-apparaat weg",
             "/opnames/a.mp3"},
            {"2026-03-04 09:00:00", "herstel", "herstel", "1 opname hersteld", ""}}));
    EXPECT_EQ(G->currentIndex().row(), 0);
    EXPECT_EQ(Window.windowTitle(), "Storingen");
}

TEST_F(EventsTest, AnEmptyListingShowsTheHeadingsAndRefreshReadsNewEvents) {
    TfrmEvents Window(Data.get());
    EXPECT_EQ(Grid(Window)->model()->rowCount(), 0);
    EXPECT_EQ(Grid(Window)->model()->columnCount(), 6);
    EXPECT_FALSE(Grid(Window)->currentIndex().isValid());

    Log("2026-03-05 14:00:10", "begin", "silence", "Stilte op de ingang");
    QTest::mouseClick(Window.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_EQ(Shown(Window), (QList<QStringList>{{"2026-03-05 14:00:10", "begin", "stilte",
                                                  "Stilte op de ingang", ""}}));
    EXPECT_EQ(Grid(Window)->currentIndex().row(), 0);
}

// Every kind of trouble is shown by its Dutch name, while the database keeps the code word
// that the alert command and the metrics use; other kinds are shown as they are stored.
TEST_F(EventsTest, KindsAreShownInDutchAndStoredAsCodeWords) {
    const struct {
        const char* Stored;
        const char* Shown;
    } Cases[] = {
        {"capture", "opname-ingang weg"},
        {"volume-full", "schijf vol"},
        {"write", "schrijven mislukt"},
        {"stalled", "geen geluid ontvangen"},
        {"dropped", "audio verloren"},
        {"silence", "stilte"},
        {"clock", "klok"},
        {"incomplete", "uur onvolledig"},
        {"low-space", "weinig schijfruimte"},
        {"repair", "herstel"},
        {"command", "alarmopdracht"},
        {"retention", "opruimen"},
        {"onbekend", "onbekend"},
    };
    for (const auto& C : Cases)
        Log("2026-03-05 14:00:10", "begin", C.Stored, "Storing");
    TfrmEvents Window(Data.get());
    const auto* Listing = qobject_cast<const TListing*>(Grid(Window)->model());
    ASSERT_NE(Listing, nullptr);
    const int Kind = Listing->record().indexOf("Soort");
    QStringList Stored, Shown, Expected, Kept;
    for (int Row = 0; Row < Listing->rowCount(); ++Row) {
        Stored << Listing->record(Row).value(Kind).toString();
        Shown << Listing->index(Row, Kind).data().toString();
    }
    for (const auto& C : Cases) {
        Kept << C.Stored;
        Expected << C.Shown;
    }
    // Events of one moment are listed newest first: the last logged on top.
    std::reverse(Kept.begin(), Kept.end());
    std::reverse(Expected.begin(), Expected.end());
    EXPECT_EQ(Stored, Kept);
    EXPECT_EQ(Shown, Expected);
    // Every kind of trouble there is, is among the cases, with the three other kinds and one
    // that is not known.
    EXPECT_EQ(std::size(TroubleKinds) + 4, std::size(Cases));
}

TEST_F(EventsTest, ColumnsAreSizedAsInTheRecordingsLogAndTextsShownOnOneLine) {
    Log("2026-03-05 14:00:10", "begin", "write", "Schrijven mislukt:\n" + QString(3000, 'x'),
        "/opnames/a.mp3");
    TfrmEvents Window(Data.get());
    const QTableView* G = Grid(Window);
    const QFontMetrics Metrics = G->fontMetrics();
    EXPECT_EQ(G->columnWidth(1), Metrics.horizontalAdvance("2026-03-05 14:00:10") + 16);
    EXPECT_EQ(G->columnWidth(2),
              G->horizontalHeader()->fontMetrics().horizontalAdvance("Gebeurtenis") + 16);
    EXPECT_EQ(G->columnWidth(4), 420);
    const QString Text = G->model()->index(0, 4).data().toString();
    EXPECT_TRUE(Text.startsWith("Schrijven mislukt: x"));
    EXPECT_EQ(Text.size(), 2000);
    EXPECT_EQ(G->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
}

TEST_F(EventsTest, WithoutADatabaseTheWindowSaysSo) {
    Data.reset();
    EXPECT_THROW(TfrmEvents Window(Data.get()), EDatabaseError);
}
