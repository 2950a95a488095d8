#include "base/SystemReason.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

TEST(SystemReason, CommonReasonsAreDutchOthersKeepTheSystemsTextInBrackets) {
    const std::pair<int, const char*> Cases[] = {
        {ENOSPC, "geen ruimte meer op de schijf"},
        {EACCES, "geen toestemming"},
        {EPERM, "geen toestemming"},
        {ENOENT, "map of bestand bestaat niet"},
        {ENOTDIR, "een deel van het pad is geen map"},
        {EROFS, "alleen-lezen bestandssysteem"},
        {EDQUOT, "schijfquotum overschreden"},
        {EIO, "invoer-/uitvoerfout"},
        {ENAMETOOLONG, "bestandsnaam of pad te lang"},
        {EEXIST, "bestaat al"},
        {EBUSY, "is in gebruik"},
        {EMFILE, "te veel open bestanden"},
        {ENODEV, "apparaat bestaat niet"},
        {ESTALE, "verouderde verwijzing naar een netwerkbestand"},
    };
    for (const auto& [Errno, Text] : Cases)
        EXPECT_EQ(SystemReasonText(Errno).toStdString(), Text) << Errno;
    EXPECT_EQ(SystemReasonText(EDOM).toStdString(),
              std::string("systeemfout (") + std::strerror(EDOM) + ")");
}
