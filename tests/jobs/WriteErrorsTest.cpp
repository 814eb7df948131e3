#include "core/WriteErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(DriveErrorText, TableTextsWithCodeAndFullStop)
{
    const struct
    {
        int code;
        const char *text;
    } rows[] = {
        {1000, "No additional error data was reported (1000)."},
        {1008, "A buffer under-run has occurred (1008)."},
        {1010, "The drive's attempts at reading retries failed  (1010)."},
        {1033, "A disc is not present (1033)."},
        {1051, "Unknown error - use extended data for more information (1051)."},
        {1055, "A format is in progress causing operation failure (1055)."},
        {999, " (999)."},
        {1056, " (1056)."},
        {7, " (7)."},
        {-3, " (-3)."},
    };
    for (const auto &row : rows)
        EXPECT_EQ(DriveErrorText(row.code), QString::fromLatin1(row.text)) << row.code;
}

TEST(ComposeWriteErrorText, OnlyDriveErrorsCarryTheDriveTextAndSense)
{
    const struct
    {
        const char *name;
        int writeError;
        int driveError;
        QString errorInfo;
        QString senseInfo;
        QString expected;
    } rows[] = {
        {"drive_error_three_lines", 3, 1008, QStringLiteral("Write failed"), QStringLiteral("05/21/02"),
         QStringLiteral(
             "Writing Error: (3)   Write failed\rA buffer under-run has occurred (1008).\r Error Sense "
             "Data: 05/21/02")},
        {"general_error_one_line", 2, 1033, QStringLiteral("No space left on device"),
         QStringLiteral("02/3A/00"), QStringLiteral("Writing Error: (2)   No space left on device\r")},
        {"unknown_drive_code", 3, 999, QStringLiteral("x"), QStringLiteral("y"),
         QStringLiteral("Writing Error: (3)   x\r (999).\r Error Sense Data: y")},
        {"empty_texts_keep_fixed_parts", 3, 1055, QString(), QString(),
         QStringLiteral(
             "Writing Error: (3)   \rA format is in progress causing operation failure (1055).\r Error "
             "Sense Data: ")},
        {"cut_at_null_character", 3, 1000, QStringLiteral("bad") + QChar(u'\0') + QStringLiteral("hidden"),
         QStringLiteral("y"), QStringLiteral("Writing Error: (3)   bad")},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ComposeWriteErrorText(row.writeError, row.driveError, row.errorInfo, row.senseInfo),
                  row.expected)
            << row.name;
}

} // namespace
