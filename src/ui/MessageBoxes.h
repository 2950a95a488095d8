#pragma once

#include <QString>

class QWidget;

// The button of a question that Enter chooses.
enum class TDefaultAnswer { Yes, No };

// A question with the buttons "Ja" and "Nee"; true when "Ja" was chosen.
bool ConfirmYesNo(QWidget* Parent, const QString& Text,
                  TDefaultAnswer Default = TDefaultAnswer::Yes);
// The standard error report: an error box captioned "Vantor 2026" with the error's text and
// one OK button.
void ShowErrorReport(const QString& Text);
// A warning with one OK button.
void ShowWarning(QWidget* Parent, const QString& Text);
// Shows the warning box and returns at once; the box goes away when it is closed.
void ShowWarningWithoutWaiting(QWidget* Parent, const QString& Text);
