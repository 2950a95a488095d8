#pragma once

#include <QProcess>
#include <QString>

// Another process (the sqlite3 shell) that holds an exclusive lock on a database file for the
// given seconds; the constructor returns once the lock is held, the destructor once it is
// released.
class TDatabaseLock {
public:
    TDatabaseLock(const QString& Path, int Seconds) {
        FProcess.start(QStringLiteral("sqlite3"), {Path});
        FProcess.write(QStringLiteral("BEGIN EXCLUSIVE;\nSELECT 'locked';\n.shell sleep %1\n"
                                      "COMMIT;\n")
                           .arg(Seconds)
                           .toUtf8());
        FProcess.closeWriteChannel();
        while (!FProcess.readAllStandardOutput().contains("locked") &&
               FProcess.waitForReadyRead(5000)) {
        }
    }
    ~TDatabaseLock() { Release(); }

    // Waits until the lock has been given up.
    void Release() { FProcess.waitForFinished(15000); }

private:
    QProcess FProcess;
};
