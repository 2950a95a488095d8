#pragma once

#include "base/uTypes.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

// Where recordings go and what they are called. Moments are read on the local clock, as the
// log stores them, whatever zone they carry.

// The day folder of Moment under Root: "Root/yyyy/mm/dd/".
QString RecordingFolder(const QString& Root, const QDateTime& Moment);
// "ddmmyyyyhhN.ext": day, month, year, hour and the number within the hour.
QString RecordingFileName(const QDateTime& Moment, int32_t Number, TAudioFormat Format);
// FileName itself for Suffix 1 or less, else with "_Suffix" before the extension.
QString NumberedFileName(const QString& FileName, int Suffix);
// A free file name in Folder: FileName numbered with Suffix, or with the next suffix whose
// name is free; Suffix is set to the one taken.
QString FreeFileName(const QString& Folder, const QString& FileName, int& Suffix);
// The number of the next recording in an hour that has Logged recordings: one more, and 9 at
// the most (the file name holds one digit).
int32_t NextRecNumber(int32_t Logged);
