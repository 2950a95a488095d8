#include "control/StartAttempt.h"

#include "audio/uRecorder.h"
#include "control/RecordingNames.h"

#include <QFile>

TStartAttempt AttemptStart(TRecorder& Recorder, bool DeviceOK, int32_t Device, const TPreset& P,
                           const QString& Folder, const QString& Wanted) {
    TStartAttempt Attempt;
    Attempt.DeviceOK = DeviceOK || Recorder.InitDevice(Device);
    if (!Attempt.DeviceOK)
        return Attempt;
    for (int Suffix = 1;; ++Suffix) {
        Attempt.FileName = FreeFileName(Folder, Wanted, Suffix);
        Attempt.FullPath = Folder + Attempt.FileName;
        try {
            Attempt.Started = Recorder.Start(P, Attempt.FullPath);
        } catch (const EFileError&) {
            Attempt.FileError = std::current_exception();
        }
        if (Attempt.Started)
            return Attempt;
        if (!Attempt.FileError && Recorder.NameTaken())
            continue;
        if (Recorder.LeftEmptyFile())
            QFile::remove(Attempt.FullPath);
        Attempt.StartError = Recorder.StartError();
        return Attempt;
    }
}
