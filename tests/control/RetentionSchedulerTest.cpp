#include "control/RetentionScheduler.h"

#include "base/uConfig.h"
#include "control/StatusText.h"
#include "data/uData.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using namespace std::chrono_literals;

const QDateTime Now(QDate(2026, 3, 5), QTime(14, 5));

// A remover that holds the run at its first file until released, and counts the files it
// removes.
class TGate {
public:
    TRetentionScheduler::TRemover Remover() {
        return [this](const QString& Path, const QString& Root) {
            std::unique_lock Lock(FMutex);
            if (FCalls++ == 0) {
                FChanged.notify_all();
                FChanged.wait(Lock, [this] { return FOpen; });
            }
            return DeleteRecording(Path, Root);
        };
    }
    // Waits until the run has reached its first file; false when it does not within 10 s.
    bool Reached() {
        std::unique_lock Lock(FMutex);
        return FChanged.wait_for(Lock, 10s, [this] { return FCalls > 0; });
    }
    void Open() {
        std::lock_guard Lock(FMutex);
        FOpen = true;
        FChanged.notify_all();
    }
    int Calls() {
        std::lock_guard Lock(FMutex);
        return FCalls;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FOpen = false;
    int FCalls = 0;
};

// A log of Due recordings that started 40 days ago, more than a page and a batch of them,
// under KeepDays=30; the last of them is a symbolic link.
class RetentionRun : public testing::Test {
protected:
    static constexpr int Due = TRetentionScheduler::PageRows + TRetentionScheduler::EventBatch + 7;

    void SetUp() override {
        Settings.SetRootFolder(Root);
        Settings.SetRetention({30, 0, true});
        Data = std::make_unique<TLogData>(Dir.filePath("log.sqlite"));
        TPreset P;
        ASSERT_TRUE(Data->GetPreset(1, P));
        const QDateTime Started = Now.addDays(-40);
        const QString Day = Root + Started.toString("/yyyy/MM/dd/");
        QDir().mkpath(Day);
        QSqlQuery(Data->Connection()).exec("BEGIN");
        for (int I = 0; I < Due; ++I) {
            const QString Path = Day + QStringLiteral("%1.mp3").arg(I);
            if (I == Due - 1) {
                ASSERT_TRUE(QFile::link(Day + "0.mp3", Path));
            } else {
                QFile F(Path);
                ASSERT_TRUE(F.open(QIODevice::WriteOnly));
                F.write("x");
                ASSERT_TRUE(F.flush() && F.setFileTime(Started.addSecs(3600),
                                                       QFileDevice::FileModificationTime));
            }
            // Three at a time share their moment, so pages also end within one moment.
            Data->LogRecording(P, Started.addSecs(I / 3), 1, QFileInfo(Path).fileName(), Path);
        }
        QSqlQuery(Data->Connection()).exec("COMMIT");
    }

    int Count(const QString& Sql) {
        QSqlQuery Q(Data->Connection());
        return Q.exec(Sql) && Q.next() ? Q.value(0).toInt() : -1;
    }

    int FilesLeft() const {
        return QDir(Root + Now.addDays(-40).toString("/yyyy/MM/dd"))
            .entryList(QDir::Files | QDir::System)
            .size();
    }

    QTemporaryDir Dir;
    const QString Root = Dir.filePath("Opnames");
    TConfig Settings{Dir.path()};
    std::unique_ptr<TLogData> Data;
    TGate Gate;
    TRetentionScheduler Scheduler{Settings, Data, [] { return Now; },
                                  [](const QString&) { return int64_t{-1}; }, Gate.Remover()};
    QStringList Summaries;
    QMetaObject::Connection Listening =
        QObject::connect(&Scheduler, &TRetentionScheduler::RunEnded,
                         [this](const QString& Summary) { Summaries << Summary; });
};

} // namespace

// The tick only starts a run: while the run stands at its first file the tick goes on, and
// the run deletes every due file and writes their events itself, a batch at a time, the link
// passed over and told in the summary.
TEST_F(RetentionRun, TheTickStartsARunThatDeletesAndLogsOnItsOwn) {
    Scheduler.Tick({});
    ASSERT_TRUE(Gate.Reached());
    Scheduler.Tick({});
    EXPECT_TRUE(Summaries.isEmpty());
    Gate.Open();
    Scheduler.Finish();

    EXPECT_EQ(Gate.Calls(), Due - 1);
    EXPECT_EQ(FilesLeft(), 1) << "the link";
    EXPECT_EQ(Count("SELECT COUNT(*) FROM events WHERE event='verwijderd' AND kind='retention'"),
              Due - 1);
    const QString First = Root + Now.addDays(-40).toString("/yyyy/MM/dd/") + "0.mp3";
    QSqlQuery Q(Data->Connection());
    ASSERT_TRUE(Q.exec("SELECT text, filepath FROM events ORDER BY id LIMIT 1") && Q.next());
    EXPECT_EQ(Q.value(0).toString(), ControlText::RetentionDeleted(First, 40, 1));
    EXPECT_EQ(Q.value(1).toString(), First);
    ASSERT_EQ(Summaries.size(), 1);
    EXPECT_TRUE(Summaries[0].startsWith(ControlText::RetentionSummary(Due - 1, Due - 1)))
        << Summaries[0].toStdString();
    EXPECT_TRUE(Summaries[0].contains("symbolische koppeling")) << Summaries[0].toStdString();
}

// Asked to stop, a run deletes no file after the one it is at, and the events of what it did
// delete are written.
TEST_F(RetentionRun, AStoppedRunEndsAfterTheFileItIsAt) {
    Scheduler.Tick({});
    ASSERT_TRUE(Gate.Reached());
    Scheduler.RequestStop();
    Gate.Open();
    Scheduler.Finish();

    EXPECT_EQ(Gate.Calls(), 1);
    EXPECT_EQ(FilesLeft(), Due - 1);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM events WHERE event='verwijderd'"), 1);
    EXPECT_EQ(Summaries, QStringList{ControlText::RetentionSummary(1, 1)});
}

// A database another program holds locked: the tick goes on as if nothing were due, and the
// run ends without deleting anything and says so once.
TEST_F(RetentionRun, ALockedDatabaseEndsTheRunWithOneLine) {
    QSqlDatabase Other = QSqlDatabase::addDatabase("QSQLITE", "ander");
    {
        Other.setDatabaseName(Dir.filePath("log.sqlite"));
        ASSERT_TRUE(Other.open());
        QSqlQuery Lock(Other);
        ASSERT_TRUE(Lock.exec("BEGIN EXCLUSIVE"));
        Gate.Open();
        EXPECT_NO_THROW(Scheduler.Tick({}));
        Scheduler.Finish();
        EXPECT_TRUE(Lock.exec("ROLLBACK"));
    }
    Other.close();
    Other = QSqlDatabase();
    QSqlDatabase::removeDatabase("ander");

    EXPECT_EQ(Gate.Calls(), 0);
    EXPECT_EQ(FilesLeft(), Due);
    ASSERT_EQ(Summaries.size(), 1);
    EXPECT_TRUE(Summaries[0].startsWith(
        "Opruimen afgebroken: de database is vergrendeld door een ander programma"))
        << Summaries[0].toStdString();
}

// The log is read a page at a time, each page going on where the last ended, and only as far as
// the rows that are due: a recording of yesterday is never read for the age rule.
TEST_F(RetentionRun, OnlyTheDueRowsAreReadAPageAtATime) {
    TPreset P;
    ASSERT_TRUE(Data->GetPreset(1, P));
    for (int I = 0; I < 3; ++I)
        Data->LogRecording(P, Now.addDays(-1), 1, "gisteren.mp3", Root + "/gisteren.mp3");
    const QDateTime Oldest = Now.addDays(-30);
    TRetentionData Log(Dir.filePath("log.sqlite"));
    constexpr int Limit = 400;
    QSet<int32_t> Read;
    TPageStart After;
    for (QVector<TLoggedFile> Page;
         !(Page = Log.LoggedFilesAfter(After, Oldest, Limit)).isEmpty();) {
        EXPECT_LE(Page.size(), Limit);
        for (const TLoggedFile& Row : Page) {
            EXPECT_LT(Row.StartedAt, Oldest);
            Read.insert(Row.Id);
            After = {Row.StoredAt, Row.Id};
        }
    }
    EXPECT_EQ(Read.size(), Due);
}
