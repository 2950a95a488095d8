#pragma once

class QApplication;

// What the window program sets up on its application object before the first window: its
// name and version, Qt's own Dutch translations (file choosers, questions, the menus of text
// fields), the built-in dark look and the style file beside the executable. Window captions
// stay exactly as each window sets them.
void SetUpApplication(QApplication& App);
