#pragma once

#include <QString>

// An exclusive advisory lock on a recording, held while it is repaired or deleted. The copy of
// the program that writes a file holds a flock on it until the file is complete (see
// soundlib::TOutputFile). flock locks belong to the open file description, so this lock
// conflicts with that one also when both are taken in one process.
class TRecordingLock {
public:
    // Opened for writing where possible: flock over NFS wants that for an exclusive lock.
    explicit TRecordingLock(const QString& Path);
    ~TRecordingLock();
    TRecordingLock(const TRecordingLock&) = delete;
    TRecordingLock& operator=(const TRecordingLock&) = delete;

    // False when the file cannot be opened, or while another open of it holds a lock (a
    // running copy of the program writes it).
    bool TryLock();

private:
    int FFd = -1;
};
