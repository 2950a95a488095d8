#include "app/ProgramArguments.h"

#include <gtest/gtest.h>

// Every argument is one of ours; anything else is refused with a Dutch reason naming it.
TEST(ProgramArguments, OursAreTakenAnythingElseIsRefused) {
    const struct {
        QList<QByteArray> Arguments;
        bool Headless;
        std::optional<QString> DataDir;
        const char* Error; // the start of the reason, or "" when the line is sound
    } Cases[] = {
        {{}, false, {}, ""},
        {{"--headless", "--data-dir", "/srv/studio1"}, true, "/srv/studio1", ""},
        {{"--data-dir=/srv/a b", "--headless"}, true, "/srv/a b", ""},
        {{"--data-dir", "relatief/map"}, false, "relatief/map", ""},
        {{"--data-dir", "--headless"}, true, {}, "--data-dir verwacht een map"},
        {{"--data-dir"}, false, {}, "--data-dir verwacht een map"},
        {{"--data-dir="}, false, {}, "--data-dir verwacht een map"},
        {{"--data-dir=-x"}, false, {}, "--data-dir verwacht een map"},
        {{"--data-dir", "/a", "--data-dir", "/b"}, false, "/a", "--data-dir is meer dan eens"},
        {{"--data-dir", "/srv/a\nb"}, false, {}, "De map van --data-dir bevat een regeleinde"},
        {{"--data-dir=/srv/a\rb"}, false, {}, "De map van --data-dir bevat een regeleinde"},
        {{"--data-dir", "/srv/\x1b"}, false, {}, "De map van --data-dir bevat een regeleinde"},
        {{"--data-dir", "/srv/\xff\xfe"}, false, {}, "De map van --data-dir is geen geldige tekst"},
        {{"--headles"}, false, {}, "Onbekende optie: --headles"},
        {{"--headless", "-platform", "offscreen"}, true, {}, "Onbekende optie: -platform"},
        {{"--data-dir", "/a", "/b"}, false, "/a", "Onverwacht argument: /b"},
        {{"headless"}, false, {}, "Onverwacht argument: headless"},
    };
    for (const auto& C : Cases) {
        QStringList Shown;
        for (const QByteArray& A : C.Arguments)
            Shown << QString::fromUtf8(A);
        SCOPED_TRACE(Shown.join(' ').toStdString());
        const TProgramArguments Parsed = ParseArguments(C.Arguments);
        EXPECT_EQ(Parsed.Headless, C.Headless);
        EXPECT_EQ(Parsed.DataDir, C.DataDir);
        if (*C.Error)
            EXPECT_TRUE(Parsed.Error.startsWith(QString::fromUtf8(C.Error)))
                << Parsed.Error.toStdString();
        else
            EXPECT_TRUE(Parsed.Error.isEmpty()) << Parsed.Error.toStdString();
    }
}

TEST(ProgramArguments, HelpAndVersionAreRecognised) {
    const TProgramArguments Parsed = ParseArguments({"--version", "--help"});
    EXPECT_TRUE(Parsed.Help);
    EXPECT_TRUE(Parsed.Version);
    EXPECT_TRUE(Parsed.Error.isEmpty());
}

// --coverage takes its day as given (the ledger checks it), --json only beside it, and neither
// goes with recording without a window.
TEST(ProgramArguments, CoverageTakesItsDay) {
    const struct {
        QList<QByteArray> Arguments;
        std::optional<QString> Day;
        bool Json;
        const char* Error;
    } Cases[] = {
        {{"--coverage", "2026-03-05"}, "2026-03-05", false, ""},
        {{"--json", "--coverage=2026-03-05", "--data-dir", "/srv/a"}, "2026-03-05", true, ""},
        {{"--coverage", "gisteren"}, "gisteren", false, ""},
        {{"--coverage"}, {}, false, "--coverage verwacht een dag"},
        {{"--coverage", "--json"}, {}, true, "--coverage verwacht een dag"},
        {{"--coverage="}, {}, false, "--coverage verwacht een dag"},
        {{"--coverage", "2026-03-05", "--coverage", "2026-03-06"},
         "2026-03-05",
         false,
         "--coverage is meer dan eens"},
        {{"--json"}, {}, true, "--json hoort bij --coverage"},
        {{"--coverage", "2026-03-05", "--headless"}, "2026-03-05", false, "--coverage gaat niet"},
        {{"--coverage", "2026-03-05", "2026-03-06"}, "2026-03-05", false, "Onverwacht argument"},
    };
    for (const auto& C : Cases) {
        const TProgramArguments Parsed = ParseArguments(C.Arguments);
        SCOPED_TRACE(C.Arguments.join(' ').toStdString());
        EXPECT_EQ(Parsed.CoverageDay, C.Day);
        EXPECT_EQ(Parsed.Json, C.Json);
        if (*C.Error)
            EXPECT_TRUE(Parsed.Error.startsWith(QString::fromUtf8(C.Error)))
                << Parsed.Error.toStdString();
        else
            EXPECT_TRUE(Parsed.Error.isEmpty()) << Parsed.Error.toStdString();
    }
}
