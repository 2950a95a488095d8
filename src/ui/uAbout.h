#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

// The About box: the program's name, the libraries it uses with their versions found at run
// time, and the path of the settings file.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* Parent = nullptr);

private:
    void FormCreate();

    QWidget* pnlHeader;
    QLabel* lblTitle;
    QLabel* lblSubtitle;
    QLabel* lblLibsHdr;
    QLabel* lblLibs;
    QLabel* lblIniHdr;
    QLabel* lblIniPath;
    QPushButton* btnClose;
};

// Every library the program uses, each as its name and the version loaded at run time.
QStringList UsedLibraries();
