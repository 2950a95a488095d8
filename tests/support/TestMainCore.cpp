#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int Argc, char** Argv) {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        qputenv("PULSE_SERVER", VANTOR_TEST_PULSE_SERVER);
    QCoreApplication App(Argc, Argv);
    testing::InitGoogleTest(&Argc, Argv);
    return RUN_ALL_TESTS();
}
