#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TLogData;

// Puts a newly opened database in the place of LogData. The main window passes one that
// also carries a running recording over: stopped and logged in the old database, started
// again in the new one.
using TDatabaseSwitch = std::function<void(std::unique_ptr<TLogData> NewData)>;

// The dialog for the recordings folder, the database file and automatic recording. On OK it
// writes the three values into Config, saves the settings file and, when the database file
// changed, opens the new one and hands it to the database switch.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettings(QWidget* Parent = nullptr, TDatabaseSwitch SwitchDatabase = {});

    void btnRootClick();
    void btnDbClick();
    // Throws the engine's error when the new database cannot be opened, and the settings
    // file's error when it cannot be saved; either way nothing has changed and the dialog
    // stays open.
    void btnOKClick();

private:
    void FormCreate();

    TDatabaseSwitch FSwitchDatabase;
    QLabel* lblRoot;
    QLineEdit* edtRoot;
    QPushButton* btnRoot;
    QLabel* lblDb;
    QLineEdit* edtDb;
    QPushButton* btnDb;
    QCheckBox* chkAuto;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

// Whether two database paths name the same database: the same text, or the same existing
// file. Letter case counts, as it does for the file system.
bool SameDatabase(const QString& A, const QString& B);
