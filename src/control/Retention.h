#pragma once

#include "base/uConfig.h"
#include "control/FreeSpacePolicy.h"
#include "data/uData.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// One recording the retention rules deleted.
struct TRetentionDeletion {
    int32_t Id = 0;
    QString Path;
    QDateTime StartedAt;
    int64_t Bytes = 0;
};

// Deletes one recording; false when it was left (another running copy holds it, or the
// removal failed).
using TRecordingDeleter = std::function<bool(const TRetentionDeletion& Recording)>;

// The logged recordings, the oldest first, a page at a time: the rows below After in the order
// of the log (from the first when After is null); when Before is valid, at least every row that
// started before it, and perhaps some later ones. An empty page ends the log.
using TLoggedPages =
    std::function<QVector<TLoggedFile>(const TPageStart& After, const QDateTime& Before)>;

// The rows of Logged, read already, as one page; Logged must outlive the pages.
TLoggedPages PagesOf(const QVector<TLoggedFile>& Logged);

// What a run of the rules did.
struct TRetentionRun {
    std::vector<TRetentionDeletion> Deleted;
    int LinksLeft = 0; // logged paths the rules came to that are symbolic links, left as they are
};

// Applies the retention rules to the logged recordings Logged (the oldest first): deletes each
// that started more than KeepDays before Now and was last written before that too; then, while
// Probe says the volume of Root has less than MinFreeMB free, the oldest that remain and were
// not written in the last hour, one at a time. Only a plain file the log names, in a folder
// under Root, that is not InUse and, with KeepAnnotated, has no title and no persons is ever
// considered; a logged path that is a symbolic link is left as it is. Once Stop is set, no
// further file is deleted. Runs on any thread.
TRetentionRun ApplyRetention(const TLoggedPages& Logged, const TRetentionSettings& Rules,
                             const QDateTime& Now, const QString& Root, const QString& InUse,
                             const TFreeSpaceProbe& Probe, const TRecordingDeleter& Delete,
                             const std::atomic<bool>* Stop = nullptr);

// Removes the recording at Path while holding its lock; then, when it lay in a day folder
// Root/yyyy/MM/dd, that folder, its month and its year as far as it leaves them empty. False
// when a running copy of the program holds it or it could not be removed.
bool DeleteRecording(const QString& Path, const QString& Root);

// How many recordings and bytes ApplyRetention would delete now, with FreeBytes free, deleting
// nothing.
struct TRetentionPreview {
    int Count = 0;
    int64_t Bytes = 0;
};
TRetentionPreview PreviewRetention(const QVector<TLoggedFile>& Logged,
                                   const TRetentionSettings& Rules, const QDateTime& Now,
                                   const QString& Root, const QString& InUse, int64_t FreeBytes);
