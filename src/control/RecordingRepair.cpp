#include "control/RecordingRepair.h"

#include "audio/FileRepair.h"
#include "control/RecordingLock.h"
#include "data/uData.h"

#include <QFileInfo>
#include <QMap>

namespace {

// The audio times a run that ended without a stop left open end where the length found for the
// file says, marked as estimated; without a length, at their start.
void EstimateOpenEnds(TLogData& Data, const QMap<int32_t, int64_t>& Seconds) {
    for (TAudioTimes Times : Data.AudioTimesWithoutEnd()) {
        const int64_t Length = Seconds.value(Times.RecordingId, 0);
        Times.End = Times.Start.addMSecs(Length * 1000);
        Times.Frames = Length * Times.SampleRate;
        Times.EndEstimated = true;
        Times.DriftPpm.reset();
        Data.SetAudioTimes(Times);
    }
}

} // namespace

QStringList RepairInterruptedRecordings(TLogData& Data, const QDateTime& Now) {
    // What that run was missing it was missing until it ended; when is not known.
    Data.CloseOpenGaps(Now);
    QStringList Repaired;
    QMap<int32_t, int64_t> Seconds;
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
            Seconds[Row.Id] = Wav->DurationSec;
            // A complete file whose length never reached the log (the database refused it
            // until that run ended) only gets its length: nothing of it was repaired.
            if (Wav->Rewritten)
                Repaired << Row.Path;
        } else if (const auto Length = EncodedDurationSec(Row.Path, Row.Format);
                   Length && *Length > 0) {
            Data.SetRecordingDuration(Row.Id, static_cast<int32_t>(*Length));
            Seconds[Row.Id] = *Length;
            Repaired << Row.Path;
        }
    }
    EstimateOpenEnds(Data, Seconds);
    return Repaired;
}
