#pragma once

#include <QString>

// One running copy's claim on its data folder: only the copy that holds it records there, so
// that two copies started on one folder never record the same input twice. An flock on a file
// in the folder, which the system gives up when the copy ends, however it ends.
class TFolderLock {
public:
    static constexpr const char* FileName = "Vantor2026.lock";

    explicit TFolderLock(const QString& Folder);
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // False while another copy holds the folder. A folder where the lock file cannot be made
    // (read-only) cannot be claimed by any copy: true then, and nothing is held.
    bool TryLock();

private:
    QString FPath;
    int FFd = -1;
};
