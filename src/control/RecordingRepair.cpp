#include "control/RecordingRepair.h"

#include "audio/FileRepair.h"
#include "data/uData.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVector>

namespace {

struct TUnfinished {
    int32_t Id = 0;
    QString Path;
    TAudioFormat Format = afWAV;
};

QVector<TUnfinished> UnfinishedRecordings(TLogData& Data) {
    QSqlQuery Q(Data.Connection());
    if (!Q.exec(QStringLiteral("SELECT id, filepath, format FROM recordings WHERE duration_sec=0")))
        throw EDatabaseError(Q.lastError().databaseText().toStdString());
    QVector<TUnfinished> Rows;
    while (Q.next())
        Rows.append(
            {Q.value(0).toInt(), Q.value(1).toString(), StrToFormat(Q.value(2).toString(), afMP3)});
    return Rows;
}

} // namespace

QStringList RepairInterruptedRecordings(TLogData& Data) {
    QStringList Repaired;
    for (const TUnfinished& Row : UnfinishedRecordings(Data)) {
        if (!QFileInfo(Row.Path).isFile())
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
