// The two size notations: exact decimal rounding, the locale's separators.
#include "core/SizeTexts.h"

#include <gtest/gtest.h>

namespace {

struct SizeRow
{
    const char *name;
    qint64 bytes;
    QLocale::Language language;
    QLocale::Territory territory;
    const char *megabytes;
    const char *kilobytes;
};

const SizeRow Rows[] = {
    {"empty", 0, QLocale::English, QLocale::UnitedStates, "0.00 MB", "0.00 KB"},
    {"one mebibyte", 1048576, QLocale::English, QLocale::UnitedStates, "1.00 MB", "1,048.58 KB"},
    {"kilobytes of 1000", 1536, QLocale::English, QLocale::UnitedStates, "0.00 MB", "1.54 KB"},
    {"thousands", 1234567, QLocale::English, QLocale::UnitedStates, "1.18 MB", "1,234.57 KB"},
    {"design figure", 123456789, QLocale::English, QLocale::UnitedStates, "117.74 MB", "123,456.79 KB"},
    {"single-layer DVD, no separator in MB", 4700000000LL, QLocale::English, QLocale::UnitedStates,
     "4482.27 MB", "4,700,000.00 KB"},
    // Exact halves round away from zero, where the binary value of 1.005 would round down.
    {"half a hundredth", 1005, QLocale::English, QLocale::UnitedStates, "0.00 MB", "1.01 KB"},
    {"half of MB hundredth", 131072, QLocale::English, QLocale::UnitedStates, "0.13 MB", "131.07 KB"},
    {"just below half", 124, QLocale::English, QLocale::UnitedStates, "0.00 MB", "0.12 KB"},
    {"comma locale", 4700000000LL, QLocale::German, QLocale::Germany, "4482,27 MB", "4.700.000,00 KB"},
    {"C locale still groups kilobytes", 1234567, QLocale::C, QLocale::AnyTerritory, "1.18 MB", "1,234.57 KB"},
    {"negative", -1536, QLocale::English, QLocale::UnitedStates, "0.00 MB", "-1.54 KB"},
};

} // namespace

TEST(SizeTexts, RowsOfTheTable)
{
    for (const SizeRow &row : Rows) {
        SCOPED_TRACE(row.name);
        const QLocale locale(row.language, row.territory);
        EXPECT_EQ(SizeTexts::megabytes(row.bytes, locale), QString::fromUtf8(row.megabytes));
        EXPECT_EQ(SizeTexts::kilobytes(row.bytes, locale), QString::fromUtf8(row.kilobytes));
    }
}
