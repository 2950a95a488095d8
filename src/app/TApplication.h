#pragma once

#include <QApplication>

// The program's application object. Every exception that escapes an event handler is shown
// in the standard error report (an error box captioned "Vantor 2026") and the event loop
// goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};
