#pragma once

#include "base/uClock.h"
#include "control/Retention.h"
#include "control/Trouble.h"

#include <QObject>
#include <QString>
#include <memory>

class TLogData;

// The event of a recording the retention rules deleted at At. A retention run writes these
// itself, a batch at a time, on its own connection.
TEventRow DeletionEvent(const TRetentionDeletion& Deletion, const QDateTime& At);

// Keeps the events log of the database the run uses: every trouble that began or ended, every
// alert command that ran and every repair at start-up. Without a database nothing is kept.
// Lives on the user-interface thread.
class TEventJournal : public QObject {
    Q_OBJECT
public:
    TEventJournal(std::unique_ptr<TLogData>& Data, TClock Clock, QObject* Parent = nullptr);

    void TroubleBegan(const TTrouble& Trouble);
    void TroubleEnded(const TTrouble& Trouble);
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
