#include "ui/DarkStyle.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int Argc, char** Argv) {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        qputenv("PULSE_SERVER", VANTOR_TEST_PULSE_SERVER);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    ApplyBuiltInStyle(App);
    testing::InitGoogleTest(&Argc, Argv);
    return RUN_ALL_TESTS();
}
