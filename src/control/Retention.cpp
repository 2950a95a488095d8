#include "control/Retention.h"

#include "control/RecordingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The logged recordings the rules may delete, the oldest first, with their resolved paths.
std::vector<TRetentionDeletion> Deletable(const QVector<TLoggedFile>& Logged, bool KeepAnnotated,
                                          const QString& Root, const QString& InUse) {
    std::vector<TRetentionDeletion> Files;
    const QString CanonicalRoot = QFileInfo(Root).canonicalFilePath();
    if (CanonicalRoot.isEmpty())
        return Files;
    const QString Below = WithTrailingDelimiter(CanonicalRoot);
    const QString Running = InUse.isEmpty() ? QString() : QFileInfo(InUse).canonicalFilePath();
    for (const TLoggedFile& Row : Logged) {
        if (!Row.StartedAt.isValid() || (KeepAnnotated && Row.Annotated))
            continue;
        const QFileInfo File(Row.Path);
        const QString Resolved = File.canonicalFilePath();
        if (Resolved.isEmpty() || !Resolved.startsWith(Below) || Resolved == Running ||
            !QFileInfo(Resolved).isFile())
            continue;
        Files.push_back({Row.Id, Resolved, Row.StartedAt, QFileInfo(Resolved).size()});
    }
    return Files;
}

} // namespace

std::vector<TRetentionDeletion> ApplyRetention(const QVector<TLoggedFile>& Logged,
                                               const TRetentionSettings& Rules,
                                               const QDateTime& Now, const QString& Root,
                                               const QString& InUse, const TFreeSpaceProbe& Probe,
                                               const TRecordingDeleter& Delete) {
    std::vector<TRetentionDeletion> Deleted;
    if (Rules.KeepDays <= 0 && Rules.MinFreeMB <= 0)
        return Deleted;
    const std::vector<TRetentionDeletion> Files =
        Deletable(Logged, Rules.KeepAnnotated, Root, InUse);
    std::vector<bool> Done(Files.size(), false);
    if (Rules.KeepDays > 0) {
        const QDateTime Oldest = Now.addDays(-Rules.KeepDays);
        for (size_t I = 0; I < Files.size(); ++I) {
            if (Files[I].StartedAt >= Oldest)
                continue;
            Done[I] = true;
            if (Delete(Files[I].Path))
                Deleted.push_back(Files[I]);
        }
    }
    if (Rules.MinFreeMB > 0) {
        const int64_t Wanted = int64_t{Rules.MinFreeMB} * FreeSpace::OneMiB;
        for (size_t I = 0; I < Files.size(); ++I) {
            const int64_t Free = Probe(Root);
            if (Free < 0 || Free >= Wanted)
                break;
            if (!Done[I] && Delete(Files[I].Path))
                Deleted.push_back(Files[I]);
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
    const QString Top = QFileInfo(Root).canonicalFilePath();
    for (QDir Folder = QFileInfo(Path).absoluteDir();
         Folder.absolutePath().startsWith(WithTrailingDelimiter(Top)) &&
         Folder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);) {
        const QString Name = Folder.dirName();
        if (!Folder.cdUp() || !Folder.rmdir(Name))
            break;
    }
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
