#pragma once

#include "base/uConfig.h"
#include "control/FreeSpacePolicy.h"
#include "data/uData.h"

#include <QDateTime>
#include <QString>
#include <QVector>
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
using TRecordingDeleter = std::function<bool(const QString& Path)>;

// Applies the retention rules to the logged recordings Logged (the oldest first): deletes each
// that started more than KeepDays before Now and was last written before that too; then, while
// Probe says the volume of Root has less than MinFreeMB free, the oldest that remain and were
// not written in the last hour, one at a time. Only a plain file the log names, in a folder
// under Root, that is not InUse and, with KeepAnnotated, has no title and no persons is ever
// considered; a logged path that is a symbolic link is left as it is. Runs on any thread.
std::vector<TRetentionDeletion> ApplyRetention(const QVector<TLoggedFile>& Logged,
                                               const TRetentionSettings& Rules,
                                               const QDateTime& Now, const QString& Root,
                                               const QString& InUse, const TFreeSpaceProbe& Probe,
                                               const TRecordingDeleter& Delete);

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
