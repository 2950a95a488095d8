#include "control/Retention.h"

#include "control/RecordingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>

namespace {

// Decides, one logged recording at a time, whether the rules may delete it: a file that
// exists, lies under the root after resolving links, is not in use and, when asked, carries no
// title or persons. Only the recordings the rules come to are looked at on disk.
class TDeletable {
public:
    TDeletable(const QString& Root, const QString& InUse, bool KeepAnnotated)
        : FBelow(QFileInfo(Root).canonicalFilePath() + u'/'),
          FRunning(InUse.isEmpty() ? QString() : QFileInfo(InUse).canonicalFilePath()),
          FKeepAnnotated(KeepAnnotated) {}

    std::optional<TRetentionDeletion> operator()(const TLoggedFile& Row) const {
        if (FBelow == QStringLiteral("/") || (FKeepAnnotated && Row.Annotated))
            return std::nullopt;
        const QFileInfo File(Row.Path);
        const QString Resolved = File.canonicalFilePath();
        if (Resolved.isEmpty() || !Resolved.startsWith(FBelow) || Resolved == FRunning)
            return std::nullopt;
        const QFileInfo Target(Resolved);
        if (!Target.isFile())
            return std::nullopt;
        return TRetentionDeletion{Row.Id, Resolved, Row.StartedAt, Target.size()};
    }

private:
    QString FBelow; // "/" when the root does not exist: nothing is deletable then
    QString FRunning;
    bool FKeepAnnotated;
};

} // namespace

std::vector<TRetentionDeletion> ApplyRetention(const QVector<TLoggedFile>& Logged,
                                               const TRetentionSettings& Rules,
                                               const QDateTime& Now, const QString& Root,
                                               const QString& InUse, const TFreeSpaceProbe& Probe,
                                               const TRecordingDeleter& Delete) {
    std::vector<TRetentionDeletion> Deleted;
    if (Rules.KeepDays <= 0 && Rules.MinFreeMB <= 0)
        return Deleted;
    const TDeletable Deletable(Root, InUse, Rules.KeepAnnotated);
    const auto TryDelete = [&](const TLoggedFile& Row) {
        if (const auto File = Deletable(Row); File && Delete(File->Path))
            Deleted.push_back(*File);
    };
    // The log comes oldest first: the age rule ends at the first recording young enough, and
    // the free-space rule goes on from there.
    qsizetype Next = 0;
    if (Rules.KeepDays > 0) {
        const QDateTime Oldest = Now.addDays(-Rules.KeepDays);
        for (; Next < Logged.size(); ++Next) {
            const TLoggedFile& Row = Logged[Next];
            if (!Row.StartedAt.isValid())
                continue;
            if (Row.StartedAt >= Oldest)
                break;
            TryDelete(Row);
        }
    }
    if (Rules.MinFreeMB > 0) {
        const int64_t Wanted = int64_t{Rules.MinFreeMB} * FreeSpace::OneMiB;
        for (; Next < Logged.size(); ++Next) {
            const int64_t Free = Probe(Root);
            if (Free < 0 || Free >= Wanted)
                break;
            if (Logged[Next].StartedAt.isValid())
                TryDelete(Logged[Next]);
        }
    }
    return Deleted;
}

bool DeleteRecording(const QString& Path, const QString& Root) {
    {
        TRecordingLock Lock(Path);
        if (!Lock.TryLock() || !QFile::remove(Path))
            return false;
    }
    // Each folder it leaves empty goes, up to the root: rmdir refuses one that holds anything.
    const QString Top = QFileInfo(Root).canonicalFilePath();
    QString Folder = QFileInfo(Path).absolutePath();
    while (!Top.isEmpty() && Folder.startsWith(Top + u'/') && QDir().rmdir(Folder))
        Folder = QFileInfo(Folder).absolutePath();
    return true;
}

TRetentionPreview PreviewRetention(const QVector<TLoggedFile>& Logged,
                                   const TRetentionSettings& Rules, const QDateTime& Now,
                                   const QString& Root, const QString& InUse, int64_t FreeBytes) {
    TRetentionPreview Preview;
    const auto Count = [&](const QString& Path) {
        ++Preview.Count;
        Preview.Bytes += QFileInfo(Path).size();
        return true;
    };
    const auto Free = [&](const QString&) {
        return FreeBytes < 0 ? -1 : FreeBytes + Preview.Bytes;
    };
    ApplyRetention(Logged, Rules, Now, Root, InUse, Free, Count);
    return Preview;
}
