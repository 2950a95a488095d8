#pragma once

#include "base/uClock.h"
#include "control/ClockWatch.h"
#include "control/Retention.h"
#include "control/Trouble.h"

#include <QObject>
#include <QString>
#include <memory>

class TLogData;

// The kinds of the events log besides the kinds of trouble: code words in the table, Dutch
// names in the events window.
namespace EventKind {
inline const QString Command = QStringLiteral("command");
inline const QString Repair = QStringLiteral("repair");
inline const QString Retention = QStringLiteral("retention");
} // namespace EventKind

// The Dutch name of an events log kind (a kind of trouble or one of EventKind); a code word it
// does not know stays as it is.
QString EventKindDutchName(const QString& Code);

// The event of a recording the retention rules deleted at At. A retention run writes these
// itself, a batch at a time, on its own connection.
TEventRow DeletionEvent(const TRetentionDeletion& Deletion, const QDateTime& At);

// Keeps the events log of the database the run uses: every trouble that began or ended (an
// instant trouble is one row, "melding", at its end), every step of the wall clock, every alert
// command that ran and every repair at start-up. Without a database nothing is kept. Lives on
// the user-interface thread.
class TEventJournal : public QObject {
    Q_OBJECT
public:
    TEventJournal(std::unique_ptr<TLogData>& Data, TClock Clock, QObject* Parent = nullptr);

    void TroubleBegan(const TTrouble& Trouble);
    void TroubleEnded(const TTrouble& Trouble);
    void ClockStepped(const TClockStep& Step);
    void CommandRan(const QString& Text);
    void Repaired(const QString& Text);

signals:
    // An event could not be stored (a locked or full database), once until one is stored again.
    void WriteFailed(const QString& Text);

private:
    void Write(const QString& Event, const QString& Kind, const QString& Text,
               const QString& FilePath = QString());

    std::unique_ptr<TLogData>& FData;
    TClock FClock;
    bool FFailureReported = false;
};
