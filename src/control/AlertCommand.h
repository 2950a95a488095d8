#pragma once

#include "control/Trouble.h"

#include <QObject>
#include <QString>
#include <chrono>

class QProcess;

// Runs the operator's alert command when trouble begins or ends: split into arguments by the
// quoting rules of a POSIX shell (SplitCommandLine) and started directly, never through a shell,
// with the details in its environment (VANTOR_EVENT, VANTOR_KIND, VANTOR_SINCE, VANTOR_TEXT,
// VANTOR_FILE). Runs asynchronously: nothing here waits for the command, and one that runs longer
// than its time limit is killed. Lives on the user-interface thread.
class TAlertCommand : public QObject {
    Q_OBJECT
public:
    explicit TAlertCommand(std::chrono::milliseconds TimeLimit = std::chrono::seconds(30),
                           QObject* Parent = nullptr);
    // Kills the runs that still go on.
    ~TAlertCommand() override;

    // Runs Command (nothing when it is empty) for Trouble, which began (Began) or ended.
    void Run(const QString& Command, const TTrouble& Trouble, bool Began);

signals:
    // A run ended: the Dutch text of how (for the events log), and whether it failed.
    void RunEnded(const QString& Text, bool Failed);
    // A run failed after the last run that succeeded: the operator is told this once.
    void FailureToReport(const QString& Text);

private:
    void Ended(const QString& Text, bool Failed);

    std::chrono::milliseconds FTimeLimit;
    bool FFailureReported = false;
};
