#include "control/Retention.h"
#include "control/RecordingLock.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
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
    QString Add(int Days, const QString& Name, bool Annotated = false, const QString& Where = "") {
        const QDateTime Started = Now.addDays(-Days);
        const QString Day = Root + Started.toString("/yyyy/MM/dd/");
        QString Path = Day + Name;
        QDir().mkpath(Day);
        if (Where == "buiten" || Where == "link") {
            QDir().mkpath(Dir.filePath("buiten"));
            const QString Outside = Dir.filePath("buiten/" + Name);
            Write(Outside);
            if (Where == "link")
                QFile::link(Outside, Path);
            else
                Path = Outside;
        } else if (Where != "weg") {
            Write(Path);
        }
        Logged.append({static_cast<int32_t>(Logged.size() + 1), Started, Path, Annotated});
        return Path;
    }

    static void Write(const QString& Path) {
        QFile F(Path);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QByteArray(MiB, '\0'));
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
        return ApplyRetention(Logged, Rules, Now, Root, InUse, Probe,
                              [this](const QString& Path) { return DeleteRecording(Path, Root); });
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
        Logged.clear();
        QDir(Root).removeRecursively();
        QDir(Dir.filePath("buiten")).removeRecursively();
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
