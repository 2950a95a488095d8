#pragma once

class QApplication;
class QString;

// Applies the built-in dark look "Windows10 Dark" (Fusion with a dark palette), then the
// style file "Windows10Dark.vsf" beside the executable when it is valid Qt style sheet text.
// A style file that is missing, unreadable or does not parse is ignored.
void ApplyBuiltInStyle(QApplication& App);
void ApplyStyleFile(QApplication& App, const QString& Path);
