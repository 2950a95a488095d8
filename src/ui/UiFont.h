#pragma once

#include <QFont>

// The windows' typeface at a pixel height; fontconfig picks the nearest face where Segoe UI is
// missing. 12 px is 9 pt on a 96 dpi screen.
inline QFont UiFont(int PixelHeight, bool Bold = false) {
    QFont Font(QStringLiteral("Segoe UI"));
    Font.setPixelSize(PixelHeight);
    Font.setBold(Bold);
    return Font;
}
