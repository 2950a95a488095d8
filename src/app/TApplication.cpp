#include "app/TApplication.h"

#include "app/ErrorTrap.h"
#include "ui/MessageBoxes.h"

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
    return DeliverReportingErrors([&] { return QApplication::notify(Receiver, Event); },
                                  ShowErrorReport);
}
