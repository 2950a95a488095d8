#include "data/uData.h"
#include "ui/DialogTestKit.h"
#include "ui/uEvents.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EventsTest : public DatabaseTest {
protected:
    static void Log(const char* Moment, const char* Event, const char* Kind, const QString& Text,
                    const QString& File = QString()) {
        LogData->LogEvent(QDateTime::fromString(Moment, "yyyy-MM-dd HH:mm:ss"), Event, Kind, Text,
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
    TfrmEvents Window;
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
            {"2026-03-05 14:02:40", "einde", "capture", "Opname-apparaat weg (2 min 30 s)",
             "/opnames/a.mp3"},
            {"2026-03-05 14:00:10", "opdracht", "capture", "piep: afgesloten met 0", ""},
            {"2026-03-05 14:00:10", "begin", "capture", "Opname-apparaat weg", "/opnames/a.mp3"},
            {"2026-03-04 09:00:00", "herstel", "repair", "1 opname hersteld", ""}}));
    EXPECT_EQ(G->currentIndex().row(), 0);
    EXPECT_EQ(Window.windowTitle(), "Storingen");
}

TEST_F(EventsTest, AnEmptyListingShowsTheHeadingsAndRefreshReadsNewEvents) {
    TfrmEvents Window;
    EXPECT_EQ(Grid(Window)->model()->rowCount(), 0);
    EXPECT_EQ(Grid(Window)->model()->columnCount(), 6);
    EXPECT_FALSE(Grid(Window)->currentIndex().isValid());

    Log("2026-03-05 14:00:10", "begin", "silence", "Stilte op de ingang");
    QTest::mouseClick(Window.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_EQ(Shown(Window), (QList<QStringList>{{"2026-03-05 14:00:10", "begin", "silence",
                                                  "Stilte op de ingang", ""}}));
    EXPECT_EQ(Grid(Window)->currentIndex().row(), 0);
}

TEST_F(EventsTest, ColumnsAreSizedAsInTheRecordingsLogAndTextsShownOnOneLine) {
    Log("2026-03-05 14:00:10", "begin", "write", "Schrijven mislukt:\n" + QString(3000, 'x'),
        "/opnames/a.mp3");
    TfrmEvents Window;
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
    LogData.reset();
    EXPECT_THROW(TfrmEvents Window, EDatabaseError);
}
