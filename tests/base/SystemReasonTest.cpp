#include "base/SystemReason.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

TEST(SystemReason, CommonReasonsAreDutchOthersKeepTheSystemsText) {
    const std::pair<int, const char*> Cases[] = {
        {ENOSPC, "geen ruimte meer op de schijf"},
        {EACCES, "geen toestemming"},
        {EPERM, "geen toestemming"},
        {ENOENT, "map of bestand bestaat niet"},
        {ENOTDIR, "een deel van het pad is geen map"},
        {EROFS, "alleen-lezen bestandssysteem"},
        {EDQUOT, "schijfquotum overschreden"},
        {EIO, "invoer-/uitvoerfout"},
        {EEXIST, std::strerror(EEXIST)},
    };
    for (const auto& [Errno, Text] : Cases)
        EXPECT_EQ(SystemReasonText(Errno).toStdString(), Text) << Errno;
}
