#pragma once

#include "control/Trouble.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>

class QProcess;

// Runs the operator's alert command when trouble begins or ends: split into arguments by the
// quoting rules of a POSIX shell (SplitCommandLine) and started directly, never through a shell,
// with the details in its environment (VANTOR_EVENT, VANTOR_KIND, VANTOR_SINCE, VANTOR_TEXT,
// VANTOR_FILE). Runs asynchronously: nothing here waits for the command.
//
// One run at a time, in its own process group: a run still going at its time limit is killed
// with every process it started. Later events wait in order, at most QueueLimit of them; beyond
// that the oldest waiting one is dropped, which is reported once until the queue is empty again.
// A trouble that ends less than HoldTime after it began, while its begin still waits, is run
// once, as its end; so is an instant trouble (an incomplete hour) always, its end carrying its
// text. Lives on the user-interface thread.
class TAlertCommand : public QObject {
    Q_OBJECT
public:
    static constexpr int QueueLimit = 16;
    static constexpr std::chrono::seconds HoldTime{5};

    explicit TAlertCommand(std::chrono::milliseconds TimeLimit = std::chrono::seconds(30),
                           QObject* Parent = nullptr);
    // Kills the run that still goes on, with its process group; the waiting ones are dropped.
    ~TAlertCommand() override;

    // Runs Command (nothing when it is empty) for Trouble, which began (Began) or ended: at
    // once when no run goes on, otherwise once the runs before it are done.
    void Run(const QString& Command, const TTrouble& Trouble, bool Began);

signals:
    // A run ended: the Dutch text of how (for the events log), and whether it failed.
    void RunEnded(const QString& Text, bool Failed);
    // A run failed after the last run that succeeded: the operator is told this once.
    void FailureToReport(const QString& Text);

private:
    struct TRun {
        QString Program;
        QStringList Arguments;
        TTrouble Trouble;
        bool Began;
    };

    void Queue(TRun Run);
    void StartNext();
    void Start(const TRun& Run);
    void Ended(const QString& Text, bool Failed);

    std::chrono::milliseconds FTimeLimit;
    std::deque<TRun> FWaiting;
    QProcess* FRunning = nullptr;
    bool FFailureReported = false;
    bool FDropReported = false;
};
