#include "control/RecordingLog.h"

#include "control/ClockHour.h"
#include "data/uData.h"

#include <algorithm>
#include <exception>

TRecordingLog::TRecordingLog(std::unique_ptr<TLogData>& Data) : FData(Data) {}

int64_t TRecordingLog::Started(const TPreset& P, const QDateTime& StartedAt, int32_t Number,
                               const QString& FileName, const QString& FilePath,
                               const TAudioTimes& Times) {
    if (!FData)
        return 0;
    const int64_t Ticket = FNextTicket++;
    FRows.push_back(
        {Ticket, P, StartedAt, Number, FileName, FilePath, 0, std::nullopt, Times, false});
    Flush();
    return Ticket;
}

void TRecordingLog::Stopped(int64_t Ticket, int32_t Seconds, const TAudioTimes& Times) {
    if (TRow* Row = Find(Ticket)) {
        Row->Seconds = Seconds;
        Row->Times = Times;
        Row->TimesWritten = false;
        Flush();
    }
}

int64_t TRecordingLog::GapBegan(const QDateTime& From, const QString& Cause, const QDateTime& To) {
    if (!FData)
        return 0;
    const int64_t Ticket = FNextTicket++;
    FGaps.push_back({Ticket, From, To, Cause});
    Flush();
    return Ticket;
}

void TRecordingLog::GapEnded(int64_t Ticket, const QDateTime& To) {
    const auto It = std::find_if(FGaps.begin(), FGaps.end(),
                                 [Ticket](const TGap& Gap) { return Gap.Ticket == Ticket; });
    if (It == FGaps.end() || It->To.isValid())
        return;
    // A gap never ends before it began, even when the clock was set back meanwhile.
    It->To = std::max(To, It->From);
    Flush();
}

TRecordingLog::TRow* TRecordingLog::Find(int64_t Ticket) {
    const auto It = std::find_if(FRows.begin(), FRows.end(),
                                 [Ticket](const TRow& Row) { return Row.Ticket == Ticket; });
    return It == FRows.end() ? nullptr : &*It;
}

bool TRecordingLog::Write(TRow& Row, int LockWaitMs) {
    try {
        TBusyWait Wait(*FData, LockWaitMs);
        if (Row.Id == 0)
            Row.Id = FData->LogRecording(Row.Preset, Row.StartedAt, Row.Number, Row.FileName,
                                         Row.FilePath);
        if (Row.Seconds)
            FData->SetRecordingDuration(Row.Id, *Row.Seconds);
        if (!Row.TimesWritten && Row.Times.Start.isValid()) {
            Row.Times.RecordingId = Row.Id;
            FData->SetAudioTimes(Row.Times);
        }
        Row.TimesWritten = true;
    } catch (const EDatabaseError& E) {
        FLastError = QString::fromUtf8(E.what());
        return false;
    }
    return true;
}

bool TRecordingLog::Write(TGap& Gap, int LockWaitMs) {
    try {
        TBusyWait Wait(*FData, LockWaitMs);
        if (Gap.Id == 0) {
            Gap.Id = FData->LogGap(Gap.From, Gap.To, Gap.Cause);
            Gap.EndWritten = Gap.To.isValid();
        } else if (Gap.To.isValid() && !Gap.EndWritten) {
            FData->CloseGap(Gap.Id, Gap.To);
            Gap.EndWritten = true;
        }
    } catch (const EDatabaseError& E) {
        FLastError = QString::fromUtf8(E.what());
        return false;
    }
    return true;
}

bool TRecordingLog::FlushGaps(int LockWaitMs) {
    for (auto It = FGaps.begin(); It != FGaps.end();) {
        if (!Write(*It, LockWaitMs))
            return false;
        It = It->EndWritten ? FGaps.erase(It) : std::next(It);
    }
    return true;
}

bool TRecordingLog::Flush(int LockWaitMs) {
    if (!FData) {
        FRows.clear();
        FGaps.clear();
        return true;
    }
    FLastError.clear();
    // Rows go in in the order the recordings started, so that the log's ids follow the clock; a
    // length the database refuses does not hold up the rows after it.
    bool All = true;
    for (auto It = FRows.begin(); It != FRows.end();) {
        if (It->Id != 0 && !It->Seconds && It->TimesWritten) {
            ++It; // runs, and its row is written
            continue;
        }
        if (!Write(*It, LockWaitMs)) {
            All = false;
            if (It->Id == 0)
                break;
            ++It;
            continue;
        }
        It = It->Seconds ? FRows.erase(It) : std::next(It);
    }
    return FlushGaps(LockWaitMs) && All;
}

void TRecordingLog::SettleBeforeHandOver(int64_t Ticket, int32_t Seconds) {
    if (!FData)
        return;
    if (!Flush(TBusyWait::Unchanged))
        throw EDatabaseError(FLastError.toStdString());
    if (const TRow* Row = Find(Ticket); Row && Row->Id != 0)
        FData->SetRecordingDuration(Row->Id, Seconds);
}

bool TRecordingLog::Waiting() const {
    return std::any_of(
               FRows.begin(), FRows.end(),
               [](const TRow& Row) { return Row.Id == 0 || Row.Seconds || !Row.TimesWritten; }) ||
           std::any_of(FGaps.begin(), FGaps.end(), [](const TGap& Gap) {
               return Gap.Id == 0 || (Gap.To.isValid() && !Gap.EndWritten);
           });
}

int32_t TRecordingLog::RowsWaitingInHour(const QDateTime& Moment) const {
    // Numbered as the log counts: by the local date and hour the rows are stored under.
    const TClockHour Hour = ClockHourOf(Moment);
    return static_cast<int32_t>(std::count_if(FRows.begin(), FRows.end(), [&](const TRow& Row) {
        return Row.Id == 0 && ClockHourOf(Row.StartedAt).WallHour == Hour.WallHour;
    }));
}
