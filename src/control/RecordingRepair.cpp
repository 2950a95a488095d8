#include "control/RecordingRepair.h"

#include "audio/FileRepair.h"
#include "control/RecordingLock.h"
#include "data/uData.h"

#include <QFileInfo>

QStringList RepairInterruptedRecordings(TLogData& Data) {
    QStringList Repaired;
    for (const TUnfinishedRecording& Row : Data.UnfinishedRecordings()) {
        if (!QFileInfo(Row.Path).isFile())
            continue;
        TRecordingLock Lock(Row.Path);
        if (!Lock.TryLock())
            continue;
        if (Row.Format == afWAV) {
            const auto Wav = RepairWavHeader(Row.Path);
            if (!Wav || (!Wav->Rewritten && Wav->DurationSec == 0))
                continue;
            Data.SetRecordingDuration(Row.Id, static_cast<int32_t>(Wav->DurationSec));
            // A complete file whose length never reached the log (the database refused it
            // until that run ended) only gets its length: nothing of it was repaired.
            if (Wav->Rewritten)
                Repaired << Row.Path;
        } else if (const auto Seconds = EncodedDurationSec(Row.Path, Row.Format);
                   Seconds && *Seconds > 0) {
            Data.SetRecordingDuration(Row.Id, static_cast<int32_t>(*Seconds));
            Repaired << Row.Path;
        }
    }
    return Repaired;
}
