#pragma once

#include "base/uTypes.h"

#include <QString>
#include <cstdint>
#include <exception>

class TRecorder;

// What one try to open the device and start a recording came to.
struct TStartAttempt {
    bool DeviceOK = false;
    bool Started = false;
    QString FileName; // the file it records into, or tried to
    QString FullPath;
    int StartError = 0;           // the sound library's code when the capture did not start
    std::exception_ptr FileError; // the file could not be made
};

// Opens Device unless DeviceOK, then starts P into Folder under the name Wanted, or the first
// free numbered form of it. A file that appears after its name was found free is left alone:
// the next name is tried. Only a failed start's own empty file is removed, so that a retry can
// use its name. Runs on the controller's thread (a start by hand or at the hour), or on a start
// thread of its own (the start-up's and a retry's) while the controller leaves Recorder alone.
// Blocks until the sound server answers or its time limit passes.
TStartAttempt AttemptStart(TRecorder& Recorder, bool DeviceOK, int32_t Device, const TPreset& P,
                           const QString& Folder, const QString& Wanted);
