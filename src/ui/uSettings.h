#pragma once

#include "control/RecordingSession.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TLogData;

// The recording being written, which the retention rules never delete; empty when none.
using TRunningFile = std::function<QString()>;

// The dialog for the recordings folder, the database file, automatic recording, the silence
// alarm and the deletion of old recordings. It shows Session's settings; on OK it checks the
// silence and retention values (a warning, and the dialog stays open, when they are wrong) and
// hands the new values to Session, which applies them as one step, asking here before changed
// retention values would delete recordings at once (the running one never).
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    // RunningFile tells the recording being written; empty: the one Session writes.
    explicit TfrmSettings(TRecordingSession& Session, QWidget* Parent = nullptr,
                          TRunningFile RunningFile = {});

    void btnRootClick();
    void btnDbClick();
    // Throws the engine's error when the new database cannot be opened or the old one refuses
    // the running recording's length, and the settings file's error when it cannot be saved;
    // either way the settings, the settings file and the database in use are as they were,
    // and the dialog stays open.
    void btnOKClick();

private:
    void FormCreate();
    // Warns with Text, puts the focus on Field with its text selected and returns false.
    bool Refuse(QLineEdit* Field, const QString& Text);
    // Put the typed values into Alarm and Retention; when they are not whole numbers in their
    // range, warn, put the focus on the wrong one and return false.
    bool ReadSilenceValues(TAlarmSettings& Alarm);
    bool ReadRetentionValues(TRetentionSettings& Retention);
    // Whether the operator lets Rules, unlike the rules in force, delete what they would delete
    // now from Data's recordings under Root; true without asking when they delete nothing.
    bool ConfirmDeletions(const TRetentionSettings& Rules, const QString& Root, TLogData& Data);

    TRecordingSession& FSession;
    TRunningFile FRunningFile;
    // The settings shown when the dialog opened.
    const TRunSettings FCurrent;
    QLabel* lblRoot;
    QLineEdit* edtRoot;
    QPushButton* btnRoot;
    QLabel* lblDb;
    QLineEdit* edtDb;
    QPushButton* btnDb;
    QCheckBox* chkAuto;
    QLabel* lblSilenceSeconds;
    QLineEdit* edtSilenceSeconds;
    QLabel* lblSilenceLevel;
    QLineEdit* edtSilenceLevel;
    QLabel* lblKeepDays;
    QLineEdit* edtKeepDays;
    QLabel* lblMinFree;
    QLineEdit* edtMinFree;
    QCheckBox* chkKeepAnnotated;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};
