#include "app/TApplication.h"

#include "app/ErrorReport.h"

#include <QMessageBox>
#include <exception>

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (const std::exception& E) {
        ShowErrorReport(QString::fromUtf8(E.what()));
    } catch (...) {
        ShowErrorReport(QStringLiteral("Onbekende fout"));
    }
    return false;
}

void TApplication::ShowErrorReport(const QString& Text) {
    QMessageBox Box(QMessageBox::Critical, AppTitle, ErrorReportText(Text), QMessageBox::Ok);
    Box.exec();
}
