#include "base/ErrorReport.h"

#include <gtest/gtest.h>

TEST(ErrorReport, AppendsFullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(ErrorReportText("database is locked"), "database is locked.");
    EXPECT_EQ(ErrorReportText("Klaar."), "Klaar.");
    EXPECT_EQ(ErrorReportText("Fout!"), "Fout!");                // '!' is below '.'
    EXPECT_EQ(ErrorReportText("Fout -"), "Fout -");              // '-' is below '.'
    EXPECT_EQ(ErrorReportText("bestand /a/b"), "bestand /a/b."); // '/' is above '.'
    EXPECT_EQ(ErrorReportText(""), "");
}
