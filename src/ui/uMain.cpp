#include "ui/uMain.h"

#include "app/ErrorReport.h"

TfrmMain::TfrmMain(QWidget* Parent) : QMainWindow(Parent) {
    setWindowTitle(AppTitle);
    resize(592, 401);
}
