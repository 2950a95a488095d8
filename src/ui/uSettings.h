#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TLogData;
struct TAlarmSettings;
struct TRetentionSettings;
struct TSettingsChange;

// Carries out a change of settings that replaces the database. The main window passes one
// that also carries a running recording over: logged in the old database, started again in
// the new one.
using TSettingsHandOver = std::function<void(const TSettingsChange& Change)>;
// The recording being written, which the retention rules never delete; empty when none.
using TRunningFile = std::function<QString()>;

// The dialog for the recordings folder, the database file, automatic recording, the silence
// alarm and the deletion of old recordings. On OK it checks the silence and retention values (a
// warning, and the dialog stays open, when they are wrong), opens the new database file when
// that changed, asks before changed retention values would delete recordings at once, puts the
// values into Config and the new database into LogData, and then saves the settings file; when
// any step fails, all of them are undone.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget* Parent = nullptr, TSettingsHandOver HandOver = {},
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

    TSettingsHandOver FHandOver;
    TRunningFile FRunningFile;
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

// Whether two database paths name the same database: the same text, or the same existing
// file. Letter case counts, as it does for the file system.
bool SameDatabase(const QString& A, const QString& B);
