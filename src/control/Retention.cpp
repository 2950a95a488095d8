#include "control/Retention.h"

#include "control/RecordingLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <optional>

namespace {

// Decides, one logged recording at a time, whether the rules may delete it. The path is judged
// as logged: a symbolic link is never followed (its target may be another recording, one with
// a title, or no recording at all), neither for the file nor for a folder between the root and
// the file. It must be a plain file that is not in use, was last written before the moment the
// rule allows, and, when asked, carries no title or persons. Only the recordings the rules come
// to are looked at on disk.
class TDeletable {
public:
    TDeletable(const QString& Root, const QString& InUse, bool KeepAnnotated)
        : FRoot(QFileInfo(Root).canonicalFilePath()),
          FRunning(InUse.isEmpty() ? QString() : QFileInfo(InUse).canonicalFilePath()),
          FKeepAnnotated(KeepAnnotated) {}

    struct TVerdict {
        std::optional<TRetentionDeletion> File;
        bool Link = false; // the logged path is a symbolic link, left as it is
    };

    // Row, when it may be deleted and its file was last written before WrittenBefore: a clock
    // that was behind when it was logged makes the logged time look older than the file is.
    TVerdict operator()(const TLoggedFile& Row, const QDateTime& WrittenBefore) const {
        // A root that does not exist resolves to nothing: nothing is deletable then.
        if (FRoot.isEmpty() || FRoot == QStringLiteral("/") || (FKeepAnnotated && Row.Annotated) ||
            !QDir::isAbsolutePath(Row.Path) || QDir::cleanPath(Row.Path) != Row.Path)
            return {};
        const QFileInfo File(Row.Path);
        if (File.isSymbolicLink())
            return {std::nullopt, true};
        if (!File.isFile())
            return {};
        if (!ReachesRoot(File.absolutePath()))
            return {};
        const QString Resolved = QFileInfo(File.absolutePath()).canonicalFilePath();
        if (Resolved + u'/' + File.fileName() == FRunning || File.lastModified() >= WrittenBefore)
            return {};
        return {TRetentionDeletion{Row.Id, Row.Path, Row.StartedAt, File.size()}};
    }

private:
    // Whether Folder, going up as written, comes to the root without passing a symbolic link.
    // Above the root the path may take any way there.
    bool ReachesRoot(QString Folder) const {
        for (;;) {
            const QFileInfo Info(Folder);
            const QString Resolved = Info.canonicalFilePath();
            if (Resolved == FRoot)
                return true;
            if (Info.isSymbolicLink() || !Resolved.startsWith(FRoot + u'/'))
                return false;
            Folder = Info.absolutePath();
        }
    }

    QString FRoot;
    QString FRunning;
    bool FKeepAnnotated;
};

// The free-space rule passes over a file written this recently: it is one of the newest
// whatever its logged time says.
constexpr qint64 RecentlyWrittenSeconds = 3600;

// Whether Names, the folders from the root down to a file, are a year, month and day folder.
bool IsDayFolder(const QStringList& Names) {
    const auto Digits = [](const QString& Name, int Count) {
        return Name.size() == Count &&
               std::all_of(Name.begin(), Name.end(), [](QChar C) { return C.isDigit(); });
    };
    return Names.size() == 3 && Digits(Names[0], 4) && Digits(Names[1], 2) && Digits(Names[2], 2);
}

} // namespace

TLoggedPages PagesOf(const QVector<TLoggedFile>& Logged) {
    return [&Logged](const TPageStart& After, const QDateTime&) {
        if (After.Id.isNull())
            return Logged;
        const auto Below =
            std::find_if(Logged.begin(), Logged.end(),
                         [&After](const TLoggedFile& Row) { return Row.Id == After.Id.toInt(); });
        return Below == Logged.end() ? QVector<TLoggedFile>()
                                     : QVector<TLoggedFile>(Below + 1, Logged.end());
    };
}

TRetentionRun ApplyRetention(const TLoggedPages& Logged, const TRetentionSettings& Rules,
                             const QDateTime& Now, const QString& Root, const QString& InUse,
                             const TFreeSpaceProbe& Probe, const TRecordingDeleter& Delete,
                             const std::atomic<bool>* Stop) {
    TRetentionRun Run;
    if (Rules.KeepDays <= 0 && Rules.MinFreeMB <= 0)
        return Run;
    const TDeletable Deletable(Root, InUse, Rules.KeepAnnotated);
    const auto TryDelete = [&](const TLoggedFile& Row, const QDateTime& WrittenBefore) {
        const auto Verdict = Deletable(Row, WrittenBefore);
        Run.LinksLeft += Verdict.Link;
        if (Verdict.File && Delete(*Verdict.File))
            Run.Deleted.push_back(*Verdict.File);
    };
    const auto Stopped = [Stop] { return Stop && Stop->load(); };
    // The log comes oldest first, a page at a time: the age rule ends at the first recording
    // young enough, and the free-space rule goes on from there. After is the last row a rule
    // has dealt with.
    TPageStart After;
    if (Rules.KeepDays > 0) {
        const QDateTime Oldest = Now.addDays(-Rules.KeepDays);
        for (bool Young = false; !Young && !Stopped();) {
            const QVector<TLoggedFile> Page = Logged(After, Oldest);
            if (Page.isEmpty())
                break;
            for (const TLoggedFile& Row : Page) {
                if (Stopped())
                    return Run;
                if (Row.StartedAt.isValid() && Row.StartedAt >= Oldest) {
                    Young = true;
                    break;
                }
                if (Row.StartedAt.isValid())
                    TryDelete(Row, Oldest);
                After = {Row.StoredAt, Row.Id};
            }
        }
    }
    if (Rules.MinFreeMB > 0) {
        const int64_t Wanted = int64_t{Rules.MinFreeMB} * FreeSpace::OneMiB;
        const QDateTime Recent = Now.addSecs(-RecentlyWrittenSeconds);
        for (bool Enough = false; !Enough && !Stopped();) {
            const QVector<TLoggedFile> Page = Logged(After, {});
            if (Page.isEmpty())
                break;
            for (const TLoggedFile& Row : Page) {
                const int64_t Free = Probe(Root);
                if (Stopped() || Free < 0 || Free >= Wanted) {
                    Enough = true;
                    break;
                }
                if (Row.StartedAt.isValid())
                    TryDelete(Row, Recent);
                After = {Row.StoredAt, Row.Id};
            }
        }
    }
    return Run;
}

bool DeleteRecording(const QString& Path, const QString& Root) {
    const QString Top = QFileInfo(Root).canonicalFilePath();
    const QString Folder = QFileInfo(QFileInfo(Path).absolutePath()).canonicalFilePath();
    {
        TRecordingLock Lock(Path);
        if (!Lock.TryLock() || !QFile::remove(Path))
            return false;
    }
    // Only the day folder of the recorder's layout and its month and year go when emptied,
    // never a folder the operator made: rmdir refuses one that holds anything.
    if (Top.isEmpty() || !Folder.startsWith(Top + u'/') ||
        !IsDayFolder(Folder.mid(Top.size() + 1).split(u'/')))
        return true;
    QString Emptied = Folder;
    for (int Level = 0; Level < 3 && QDir().rmdir(Emptied); ++Level)
        Emptied = QFileInfo(Emptied).absolutePath();
    return true;
}

TRetentionPreview PreviewRetention(const QVector<TLoggedFile>& Logged,
                                   const TRetentionSettings& Rules, const QDateTime& Now,
                                   const QString& Root, const QString& InUse, int64_t FreeBytes) {
    TRetentionPreview Preview;
    const auto Count = [&](const TRetentionDeletion& Recording) {
        ++Preview.Count;
        Preview.Bytes += Recording.Bytes;
        return true;
    };
    const auto Free = [&](const QString&) {
        return FreeBytes < 0 ? -1 : FreeBytes + Preview.Bytes;
    };
    ApplyRetention(PagesOf(Logged), Rules, Now, Root, InUse, Free, Count);
    return Preview;
}
