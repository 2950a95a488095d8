#pragma once

#include "base/uTypes.h"
#include "data/uData.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

// The recordings log as the controller writes it: a row for every recording that started and,
// once it stopped, its length. A write the database refuses (another program holds it locked,
// the volume is full) is kept here and tried again, in order, until the database takes it: a
// recording never goes missing from the log because the database was busy at the hour. Waits
// only briefly for a lock, so that the clock tick never stands still behind another program.
// Lives on the user-interface thread.
class TRecordingLog {
public:
    // Writes into the database Data holds (empty: none open; nothing is kept then).
    explicit TRecordingLog(std::unique_ptr<TLogData>& Data);

    // How long a write waits for another program's lock before it is kept for later.
    static constexpr int LockWaitMilliseconds = 250;

    // A recording started: its row and the times known at its start (Times; its RecordingId is
    // filled in) are written now or kept. Returns the ticket its stop names; 0 without a
    // database (nothing is logged then).
    int64_t Started(const TPreset& P, const QDateTime& StartedAt, int32_t Number,
                    const QString& FileName, const QString& FilePath, const TAudioTimes& Times);
    // The recording of Ticket stopped after Seconds, its audio as Times says: written now or
    // kept.
    void Stopped(int64_t Ticket, int32_t Seconds, const TAudioTimes& Times);
    // A gap in the audio began at From for Cause (its code word); To, when valid, ends it at
    // once. Returns the ticket GapEnded names; 0 without a database.
    int64_t GapBegan(const QDateTime& From, const QString& Cause,
                     const QDateTime& To = QDateTime());
    // The gap of Ticket ended at To.
    void GapEnded(int64_t Ticket, const QDateTime& To);
    // Writes what is kept, in order; a row the database refuses holds up the rows after it, a
    // length does not. True when nothing is left.
    // Each write may wait LockWaitMs for a lock.
    bool Flush(int LockWaitMs = LockWaitMilliseconds);
    // Before the database is handed over: writes what is kept and the length Seconds of the
    // running recording of Ticket, each waiting for a lock as the database's own setting says.
    // Throws the engine's error when the database refuses; what is kept stays kept.
    void SettleBeforeHandOver(int64_t Ticket, int32_t Seconds);

    // Whether writes are kept for later.
    bool Waiting() const;
    // How many recordings of the local date and hour of Moment still wait for their row.
    int32_t RowsWaitingInHour(const QDateTime& Moment) const;
    // Why a write of the last Flush was refused (the engine's message); empty when none was.
    const QString& LastError() const { return FLastError; }

private:
    struct TRow {
        int64_t Ticket = 0;
        TPreset Preset;
        QDateTime StartedAt;
        int32_t Number = 0;
        QString FileName;
        QString FilePath;
        int32_t Id = 0;                 // 0 until the row is written
        std::optional<int32_t> Seconds; // the length still to write, once stopped
        TAudioTimes Times;
        bool TimesWritten = false;
    };
    struct TGap {
        int64_t Ticket = 0;
        QDateTime From;
        QDateTime To;
        QString Cause;
        int64_t Id = 0; // 0 until the gap is written
        bool EndWritten = false;
    };
    // Writes what Row still needs; false when the database refused.
    bool Write(TRow& Row, int LockWaitMs);
    bool Write(TGap& Gap, int LockWaitMs);
    // Writes the kept gaps, in order; false when the database refused one.
    bool FlushGaps(int LockWaitMs);
    TRow* Find(int64_t Ticket);

    std::unique_ptr<TLogData>& FData;
    // Recordings whose row or length is not written yet, and the running ones, the oldest first.
    std::deque<TRow> FRows;
    // Gaps whose beginning or end is not written yet, and the open ones, the oldest first.
    std::deque<TGap> FGaps;
    int64_t FNextTicket = 1;
    QString FLastError;
};
