#include "control/Retention.h"
#include "control/RecordingLock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr int64_t MiB = FreeSpace::OneMiB;
const QDateTime Now(QDate(2026, 3, 5), QTime(14, 5));

// A recordings folder with logged files of one MiB each, named by their age in days and kept
// in day folders as the recorder keeps them.
class Retention : public testing::Test {
protected:
    // Logs a recording that started Days ago; Where: "" in its day folder below the root,
    // "buiten" outside the root, "link" as a link below the root to a file outside it,
    // "weg" logged but missing.
    // The file was written to the end of its hour, as the recorder writes it.
    QString Add(int Days, const QString& Name, bool Annotated = false, const QString& Where = "") {
        const QDateTime Started = Now.addDays(-Days);
        const QString Day = Root + Started.toString("/yyyy/MM/dd/");
        QString Path = Day + Name;
        QDir().mkpath(Day);
        if (Where == "buiten" || Where == "link") {
            const QString Outside = Dir.filePath("buiten/" + Name);
            Write(Outside, Started.addSecs(3600));
            if (Where == "link")
                QFile::link(Outside, Path);
            else
                Path = Outside;
        } else if (Where != "weg") {
            Write(Path, Started.addSecs(3600));
        }
        Log(Days, Path, Annotated);
        return Path;
    }

    // Logs Path as a recording that started Days ago.
    void Log(int Days, const QString& Path, bool Annotated = false) {
        const QDateTime Started = Now.addDays(-Days);
        Logged.append({static_cast<int32_t>(Logged.size() + 1), Started, Path, Annotated,
                       DateTimeText(Started)});
    }

    // Writes a file of one MiB at Path, with its folders, last written at Modified.
    static void Write(const QString& Path, const QDateTime& Modified = Now) {
        QDir().mkpath(QFileInfo(Path).path());
        QFile F(Path);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QByteArray(MiB, '\0'));
        ASSERT_TRUE(F.flush() && F.setFileTime(Modified, QFileDevice::FileModificationTime));
    }

    // A symbolic link at Path to Target, with the folders of Path.
    static void Link(const QString& Target, const QString& Path) {
        QDir().mkpath(QFileInfo(Path).path());
        ASSERT_TRUE(QFile::link(Target, Path));
    }

    void Clear() {
        Logged.clear();
        QDir(Root).removeRecursively();
        QDir(Dir.filePath("buiten")).removeRecursively();
    }

    // The names of the recordings that are left below the root and outside it.
    QStringList Left() const {
        QStringList Names;
        QDirIterator It(Root, QDir::Files | QDir::System, QDirIterator::Subdirectories);
        while (It.hasNext())
            Names << QFileInfo(It.next()).fileName();
        QDirIterator Out(Dir.filePath("buiten"), QDir::Files);
        while (Out.hasNext())
            Names << "buiten/" + QFileInfo(Out.next()).fileName();
        Names.sort();
        return Names;
    }

    std::vector<TRetentionDeletion> Apply(const TRetentionSettings& Rules, const QString& InUse,
                                          const TFreeSpaceProbe& Probe) {
        return ApplyRetention(PagesOf(Logged), Rules, Now, Root, InUse, Probe,
                              [this](const TRetentionDeletion& Recording) {
                                  return DeleteRecording(Recording.Path, Root);
                              })
            .Deleted;
    }

    QTemporaryDir Dir;
    const QString Root = Dir.filePath("Opnames");
    QVector<TLoggedFile> Logged;
};

QStringList Names(const std::vector<TRetentionDeletion>& Deleted) {
    QStringList List;
    for (const TRetentionDeletion& D : Deleted)
        List << QFileInfo(D.Path).fileName();
    return List;
}

} // namespace

// KeepDays=30: only the files that started more than 30 days ago go, and only those the log
// names below the root, not annotated (unless that is allowed), not running and not held by
// another copy; their emptied day and month folders go with them.
TEST_F(Retention, KeepDaysDeletesOnlyOldUnannotatedFilesBelowTheRootThatNobodyHolds) {
    const struct {
        bool KeepAnnotated;
        QStringList Deleted;
    } Cases[] = {
        {true, {"40.wav", "31.wav"}},
        {false, {"40-titel.wav", "40.wav", "31.wav"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.KeepAnnotated);
        Clear();
        Add(40, "40-titel.wav", true);
        Add(40, "40.wav");
        const QString Running = Add(40, "40-loopt.wav");
        const QString Held = Add(40, "40-vast.wav");
        Add(40, "40-buiten.wav", false, "buiten");
        Add(40, "40-link.wav", false, "link");
        Add(40, "40-weg.wav", false, "weg");
        Add(31, "31.wav");
        Add(29, "29.wav");
        Add(1, "1.wav");
        Write(Root + "/2026/01/24/onbekend.wav"); // no row names it
        TRecordingLock OtherCopy(Held);
        ASSERT_TRUE(OtherCopy.TryLock());

        const auto Deleted =
            Apply({30, 0, C.KeepAnnotated}, Running, [](const QString&) { return int64_t{-1}; });
        EXPECT_EQ(Names(Deleted), C.Deleted);
        EXPECT_EQ(Deleted.front().Bytes, MiB);
        EXPECT_FALSE(QDir(Root + "/2026/02/02").exists()) << "the 31-day folder is emptied";
        EXPECT_TRUE(QDir(Root + "/2026/01/24").exists()) << "the 40-day folder holds more";
        QStringList Left = this->Left();
        for (const QString& Name : C.Deleted)
            EXPECT_FALSE(Left.contains(Name)) << Name.toStdString();
        EXPECT_TRUE(Left.contains("onbekend.wav"));
        EXPECT_TRUE(Left.contains("40-loopt.wav"));
        EXPECT_TRUE(Left.contains("40-vast.wav"));
        EXPECT_TRUE(Left.contains("buiten/40-buiten.wav"));
        EXPECT_TRUE(Left.contains("buiten/40-link.wav"));
        EXPECT_TRUE(Left.contains("29.wav"));
    }
}

// MinFreeMB: the oldest deletable files go, one at a time, until the probe says enough is
// free; the running file and one another copy holds are passed over even when they are the
// oldest; an unknown free space deletes nothing.
TEST_F(Retention, MinFreeDeletesTheOldestUntilEnoughIsFree) {
    const QString Running = Add(50, "50-loopt.wav");
    const QString Held = Add(45, "45-vast.wav");
    for (int Days : {40, 30, 20, 10})
        Add(Days, QString::number(Days) + ".wav");
    TRecordingLock OtherCopy(Held);
    ASSERT_TRUE(OtherCopy.TryLock());
    // A volume of 8 MiB holding the files, and nothing else.
    const auto Free = [this](const QString&) { return 8 * MiB - int64_t(Left().size()) * MiB; };
    const struct {
        int32_t MinFreeMB;
        TFreeSpaceProbe Probe;
        QStringList Deleted;
    } Cases[] = {
        {2, Free, {}},
        {4, Free, {"40.wav", "30.wav"}},
        {100, [](const QString&) { return int64_t{-1}; }, {}},
        {100, Free, {"20.wav", "10.wav"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.MinFreeMB);
        EXPECT_EQ(Names(Apply({0, C.MinFreeMB, true}, Running, C.Probe)), C.Deleted);
    }
    EXPECT_EQ(Left(), (QStringList{"45-vast.wav", "50-loopt.wav"}));
}

// The settings dialog's question: what the rules would delete now, with nothing deleted.
TEST_F(Retention, APreviewCountsWithoutDeleting) {
    for (int Days : {40, 35, 31, 20})
        Add(Days, QString::number(Days) + ".wav");
    EXPECT_EQ(PreviewRetention(Logged, {30, 0, true}, Now, Root, {}, -1).Count, 3);
    const TRetentionPreview BySpace = PreviewRetention(Logged, {0, 3, true}, Now, Root, {}, MiB);
    EXPECT_EQ(BySpace.Count, 2);
    EXPECT_EQ(BySpace.Bytes, 2 * MiB);
    EXPECT_EQ(Left().size(), 4);
}

// The path is judged as logged: a symbolic link is never followed to what it points at, a
// folder that leads out of the root is never entered, a file written more recently than the
// rule allows stays whatever its logged time says, and only the year, month and day folders of
// the recorder's own layout go when emptied.
TEST_F(Retention, ThePathIsJudgedAsLoggedAndOnlyTheDayFoldersItEmptiesGo) {
    const auto Old = Now.addDays(-40);
    const QString Day = Root + "/2026/01/24/";
    const struct {
        const char* Name;
        TRetentionSettings Rules;
        std::function<void()> Lay;
        QStringList Deleted;
        QStringList Kept; // below the temporary folder
        QStringList Gone;
    } Cases[] = {
        {"a link to a recording with a title",
         {30, 0, true},
         [&] {
             Add(40, "kerk.wav", true);
             Link(Day + "kerk.wav", Day + "link.wav");
             Log(40, Day + "link.wav");
         },
         {},
         {"Opnames/2026/01/24/kerk.wav", "Opnames/2026/01/24/link.wav"},
         {}},
        {"a link to a file the log does not name",
         {30, 0, true},
         [&] {
             Write(Root + "/Archief/band.wav", Old);
             Link(Root + "/Archief/band.wav", Day + "link.wav");
             Log(40, Day + "link.wav");
         },
         {},
         {"Opnames/Archief/band.wav", "Opnames/2026/01/24/link.wav"},
         {}},
        {"a link to a file outside the root",
         {30, 0, false},
         [&] { Add(40, "uit.wav", false, "link"); },
         {},
         {"buiten/uit.wav", "Opnames/2026/01/24/uit.wav"},
         {}},
        {"a month folder that is a link out of the root",
         {30, 0, false},
         [&] {
             Write(Dir.filePath("buiten/01/24/uit.wav"), Old);
             Link(Dir.filePath("buiten/01"), Root + "/2026/01");
             Log(40, Day + "uit.wav");
         },
         {},
         {"buiten/01/24/uit.wav"},
         {}},
        {"a day folder that is a link to another folder in the root",
         {30, 0, true},
         [&] {
             Write(Root + "/Archief/kerk.wav", Old);
             Log(40, Root + "/Archief/kerk.wav", true);
             Link(Root + "/Archief", Root + "/2026/01/24");
             Log(40, Day + "kerk.wav");
         },
         {},
         {"Opnames/Archief/kerk.wav"},
         {}},
        {"written an hour ago, logged three days ago by a clock that was behind",
         {2, 0, true},
         [&] {
             Write(Root + "/2026/03/02/jong.wav", Now.addSecs(-3600));
             Log(3, Root + "/2026/03/02/jong.wav");
         },
         {},
         {"Opnames/2026/03/02/jong.wav"},
         {}},
        {"too little room: the oldest go, but not one written minutes ago",
         {0, 100, true},
         [&] {
             Write(Day + "jong.wav", Now.addSecs(-600));
             Log(41, Day + "jong.wav");
             Add(40, "oud.wav");
         },
         {"oud.wav"},
         {"Opnames/2026/01/24/jong.wav"},
         {"Opnames/2026/01/24/oud.wav"}},
        {"the day, month and year it empties",
         {30, 0, true},
         [&] {
             Add(70, "oud.wav");
             Add(1, "jong.wav");
         },
         {"oud.wav"},
         {"Opnames/2026/03/04/jong.wav"},
         {"Opnames/2025"}},
        {"a folder of the operator's own",
         {30, 0, true},
         [&] {
             Write(Root + "/Archief/oud.wav", Old);
             Log(40, Root + "/Archief/oud.wav");
         },
         {"oud.wav"},
         {"Opnames/Archief"},
         {"Opnames/Archief/oud.wav"}},
        {"a folder below a day folder",
         {30, 0, true},
         [&] {
             Write(Day + "extra/oud.wav", Old);
             Log(40, Day + "extra/oud.wav");
         },
         {"oud.wav"},
         {"Opnames/2026/01/24/extra"},
         {"Opnames/2026/01/24/extra/oud.wav"}},
        {"folders named like a date, but not as the recorder names them",
         {30, 0, true},
         [&] {
             Write(Root + "/2026/1/24/oud.wav", Old);
             Log(40, Root + "/2026/1/24/oud.wav");
         },
         {"oud.wav"},
         {"Opnames/2026/1/24"},
         {"Opnames/2026/1/24/oud.wav"}},
    };
    const auto NoRoom = [](const QString&) { return int64_t{0}; };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Clear();
        C.Lay();
        EXPECT_EQ(Names(Apply(C.Rules, {}, NoRoom)), C.Deleted);
        for (const QString& Path : C.Kept)
            EXPECT_TRUE(QFileInfo(Dir.filePath(Path)).exists()) << Path.toStdString();
        for (const QString& Path : C.Gone)
            EXPECT_FALSE(QFileInfo(Dir.filePath(Path)).exists()) << Path.toStdString();
        EXPECT_TRUE(QFileInfo(Root).isDir());
    }
}
