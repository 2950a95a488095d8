#include "control/RecordingRepair.h"

#include "audio/FileRepair.h"
#include "data/uData.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// An exclusive advisory lock on a recording, held while it is repaired. The copy of the
// program that writes a file holds a flock on it until the file is complete (see
// soundlib::TOutputFile). flock locks belong to the open file description, so this lock
// conflicts with that one also when both are taken in one process.
class TRepairLock {
public:
    // Opened for writing where possible: flock over NFS wants that for an exclusive lock.
    explicit TRepairLock(const QString& Path) {
        const QByteArray Name = QFile::encodeName(Path);
        FFd = ::open(Name.constData(), O_RDWR | O_CLOEXEC);
        if (FFd < 0)
            FFd = ::open(Name.constData(), O_RDONLY | O_CLOEXEC);
    }
    ~TRepairLock() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TRepairLock(const TRepairLock&) = delete;
    TRepairLock& operator=(const TRepairLock&) = delete;

    // False when the file cannot be opened, or while another open of it holds a lock (a
    // running copy of the program writes it).
    bool TryLock() { return FFd >= 0 && ::flock(FFd, LOCK_EX | LOCK_NB) == 0; }

private:
    int FFd = -1;
};

} // namespace

QStringList RepairInterruptedRecordings(TLogData& Data) {
    QStringList Repaired;
    for (const TUnfinishedRecording& Row : Data.UnfinishedRecordings()) {
        if (!QFileInfo(Row.Path).isFile())
            continue;
        TRepairLock Lock(Row.Path);
        if (!Lock.TryLock())
            continue;
        if (Row.Format == afWAV) {
            const auto Wav = RepairWavHeader(Row.Path);
            if (!Wav || !Wav->Rewritten)
                continue;
            Data.SetRecordingDuration(Row.Id, static_cast<int32_t>(Wav->DurationSec));
            Repaired << Row.Path;
        } else if (const auto Seconds = EncodedDurationSec(Row.Path, Row.Format);
                   Seconds && *Seconds > 0) {
            Data.SetRecordingDuration(Row.Id, static_cast<int32_t>(*Seconds));
            Repaired << Row.Path;
        }
    }
    return Repaired;
}
