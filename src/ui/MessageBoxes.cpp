#include "ui/MessageBoxes.h"

#include "base/ErrorReport.h"

#include <QMessageBox>
#include <QPushButton>

bool ConfirmYesNo(QWidget* Parent, const QString& Text, TDefaultAnswer Default) {
    QMessageBox Box(QMessageBox::Question, AppTitle, Text, QMessageBox::NoButton, Parent);
    QPushButton* Yes = Box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* No = Box.addButton(QStringLiteral("Nee"), QMessageBox::NoRole);
    Box.setDefaultButton(Default == TDefaultAnswer::Yes ? Yes : No);
    Box.setEscapeButton(No);
    Box.exec();
    return Box.clickedButton() == Yes;
}

void ShowErrorReport(const QString& Text) {
    QMessageBox Box(QMessageBox::Critical, AppTitle, ErrorReportText(Text), QMessageBox::Ok);
    Box.exec();
}

void ShowWarning(QWidget* Parent, const QString& Text) {
    QMessageBox Box(QMessageBox::Warning, AppTitle, Text, QMessageBox::Ok, Parent);
    Box.exec();
}

void ShowWarningWithoutWaiting(QWidget* Parent, const QString& Text) {
    auto* Box = new QMessageBox(QMessageBox::Warning, AppTitle, Text, QMessageBox::Ok, Parent);
    Box->setObjectName(QStringLiteral("WarningWithoutWaiting"));
    Box->setAttribute(Qt::WA_DeleteOnClose);
    Box->setWindowModality(Qt::NonModal);
    Box->show();
}
