#pragma once

#include <QString>

// The caption of every message box of the program.
inline const QString AppTitle = QStringLiteral("Vantor 2026");

// The message of the standard error report: the error's text, with a full stop appended
// when its last character has a code above that of the full stop.
QString ErrorReportText(const QString& Text);
