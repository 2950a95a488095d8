#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct TAlarmSettings;
struct TSettingsChange;

// Carries out a change of settings that replaces the database. The main window passes one
// that also carries a running recording over: logged in the old database, started again in
// the new one.
using TSettingsHandOver = std::function<void(const TSettingsChange& Change)>;

// The dialog for the recordings folder, the database file, automatic recording and the
// silence alarm. On OK it checks the silence values (a warning, and the dialog stays open, when
// they are wrong), opens the new database file when that changed, puts the values into Config
// and the new database into LogData, and then saves the settings file; when any step fails,
// all of them are undone.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget* Parent = nullptr, TSettingsHandOver HandOver = {});

    void btnRootClick();
    void btnDbClick();
    // Throws the engine's error when the new database cannot be opened or the old one refuses
    // the running recording's length, and the settings file's error when it cannot be saved;
    // either way the settings, the settings file and the database in use are as they were,
    // and the dialog stays open.
    void btnOKClick();

private:
    void FormCreate();
    // Puts the typed silence values into Alarm; when they are not whole numbers in their
    // range, warns, puts the focus on the wrong one and returns false.
    bool ReadSilenceValues(TAlarmSettings& Alarm);

    TSettingsHandOver FHandOver;
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
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Whether two database paths name the same database: the same text, or the same existing
// file. Letter case counts, as it does for the file system.
bool SameDatabase(const QString& A, const QString& B);
