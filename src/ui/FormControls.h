#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <optional>

class QLabel;
class QPushButton;
class QWidget;

// Helpers for forms built in code: controls at the pixel positions of their layout, named
// after the control so tests and style sheets can find them.

// A label with its top left corner at X, Y, sized to its text.
QLabel* NewLabel(QWidget* Parent, const char* Name, int X, int Y, const QString& Text,
                 const std::optional<QFont>& Font = std::nullopt);

QPushButton* NewButton(QWidget* Parent, const char* Name, const QString& Text, QRect Geometry);
