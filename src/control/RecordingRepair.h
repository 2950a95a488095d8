#pragma once

#include <QDateTime>
#include <QStringList>

class TLogData;

// Recordings that a crash, a power loss or a database that refused the write left without a
// logged duration: a WAV file whose header still describes less (or more) than the file holds
// gets its sizes rewritten from the file's length, and every such row whose file tells its
// playing time gets that duration. Returns the files whose header was set right or whose
// length the headers of an encoded file told.
// A file that another running copy of the program still writes (it holds a lock on it) is
// left alone with its row. The audio times such a run left without an end get the end the
// length tells, marked as estimated, and the gaps it left open end at Now. Run at start-up,
// before any recording of this run starts.
QStringList RepairInterruptedRecordings(TLogData& Data, const QDateTime& Now);
