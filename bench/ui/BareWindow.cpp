// The memory reference of the recording benchmark: a bare Qt Widgets main window of the main
// window's size, with a menu bar and a status bar, shown until SIGTERM ends it.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int Argc, char** Argv) {
    QApplication App(Argc, Argv);
    QMainWindow Window;
    Window.menuBar()->addMenu(QStringLiteral("Programma"));
    Window.statusBar()->showMessage(QStringLiteral("Gereed"));
    Window.resize(592, 401 + Window.menuBar()->sizeHint().height());
    Window.show();
    return App.exec();
}
