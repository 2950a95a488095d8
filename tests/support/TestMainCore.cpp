#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    testing::InitGoogleTest(&Argc, Argv);
    return RUN_ALL_TESTS();
}
