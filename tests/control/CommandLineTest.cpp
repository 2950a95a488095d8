#include "control/CommandLine.h"

#include <gtest/gtest.h>

TEST(CommandLine, SplitsAsAShellDoesWithoutExpanding) {
    const struct {
        const char* Line;
        std::optional<QStringList> Words;
    } Cases[] = {
        {"", QStringList{}},
        {"  \t ", QStringList{}},
        {"/usr/bin/alarm", QStringList{"/usr/bin/alarm"}},
        {"  mail  -s  Storing\tbeheer@example.org ",
         QStringList{"mail", "-s", "Storing", "beheer@example.org"}},
        {"'/opt/mijn map/alarm.sh' \"twee woorden\" drie\\ vier",
         QStringList{"/opt/mijn map/alarm.sh", "twee woorden", "drie vier"}},
        {"a'b'\"c\"d", QStringList{"abcd"}},
        {"'' \"\"", QStringList{"", ""}},
        {"'$HOME \\n \"x\"' \"\\$HOME \\\" \\\\ \\n\"",
         QStringList{"$HOME \\n \"x\"", "$HOME \" \\ \\n"}},
        {"$(rm -rf /) ; | & > <", QStringList{"$(rm", "-rf", "/)", ";", "|", "&", ">", "<"}},
        {"'open", std::nullopt},
        {"\"open", std::nullopt},
        {"\"open\\\"", std::nullopt},
        {"eind\\", std::nullopt},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(SplitCommandLine(QString::fromUtf8(C.Line)), C.Words) << C.Line;
}
