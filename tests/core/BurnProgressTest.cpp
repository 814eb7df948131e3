// The words of a running burn and of its read-back, the same in the window and on the command line.
#include "core/BurnProgress.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

constexpr qint64 Cd = 153600;
constexpr qint64 Dvd = 1385000;
constexpr qint64 Bd = 4500000;
constexpr qint64 MiB = 1048576;

struct WordsRow
{
    const char *name;
    BurnProgress progress;
    const char *text;
};

class BurnProgressWords : public ::testing::TestWithParam<WordsRow>
{
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST_P(BurnProgressWords, StagePercentSpeedAndTimeLeft)
{
    EXPECT_EQ(BurnProgressText(GetParam().progress), QString::fromUtf8(GetParam().text));
}

using S = EngineCodes::BurnStage;

const WordsRow WordsRows[] = {
    {"preparing_before_the_total_is_known", {S::Preparing, 0, 0, 0, Dvd}, "Preparing"},
    {"preparing_at_zero", {S::Preparing, 0, 734003200, 0, Cd}, "Preparing 0%"},
    // Data moves but none is written yet: the speed shows, the time left is not guessed.
    {"time_left_unknown_at_zero", {S::Writing, 0, 100 * MiB, 5 * MiB, Dvd}, "Writing 0%, 5.0 MB/s (3.8×)"},
    {"no_speed_measured_yet", {S::Writing, 10 * MiB, 100 * MiB, 0, Dvd}, "Writing 10%"},
    {"cd_at_8x", {S::Writing, 367001600, 734003200, 8 * Cd, Cd}, "Writing 50%, 1.2 MB/s (8.0×), 4:59 left"},
    {"dvd_at_16x",
     {S::Writing, 1175093248, 4700372992, 16 * Dvd, Dvd},
     "Writing 25%, 21.1 MB/s (16.0×), 2:40 left"},
    // 99.99 % is cut to 99 like the bar; the last byte still takes a whole second to say.
    {"bd_at_4x_one_byte_short",
     {S::Writing, 25025314815, 25025314816, 4 * Bd, Bd},
     "Writing 99%, 17.2 MB/s (4.0×), 0:01 left"},
    {"virtual_drive_has_no_times",
     {S::Writing, 1 * MiB, 10 * MiB, 1 * MiB, 0},
     "Writing 10%, 1.0 MB/s, 0:09 left"},
    {"hours_left", {S::Writing, 1 * MiB, 4000 * MiB, 1 * MiB, 0}, "Writing 0%, 1.0 MB/s, 1:06:39 left"},
    {"closing_shows_no_speed", {S::Closing, 100 * MiB, 100 * MiB, 20 * MiB, Dvd}, "Closing 100%"},
    {"verifying_before_the_folders_are_read", {S::Verifying, 0, 0, 0, Dvd}, "Verifying"},
    {"verifying",
     {S::Verifying, 30 * MiB, 120 * MiB, 45 * MiB, Dvd},
     "Verifying 25%, 45.0 MB/s (34.1×), 0:02 left"},
    {"count_past_the_total", {S::Writing, 120 * MiB, 100 * MiB, 5 * MiB, 0}, "Writing 100%, 5.0 MB/s"},
    {"erasing_without_steps", {S::Erasing, 0, 0, 0, 0}, "Erasing"},
    {"erasing_in_steps", {S::Erasing, 100, 400, 10, 0}, "Erasing 25%, 0:30 left"},
};

INSTANTIATE_TEST_SUITE_P(Rows, BurnProgressWords, ::testing::ValuesIn(WordsRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct MediumRow
{
    const char *name;
    MediumDetails medium;
    qint64 oneTimes;
};

class OneTimes : public ::testing::TestWithParam<MediumRow>
{
};

TEST_P(OneTimes, OfTheMediumsFamily)
{
    EXPECT_EQ(OneTimesSpeed(GetParam().medium), GetParam().oneTimes);
}

using State = MediumDetails::State;

const MediumRow MediumRows[] = {
    {"cd_r", {State::Blank, QStringLiteral("CD-R")}, Cd},
    {"cd_rw", {State::Appendable, QStringLiteral("CD-RW")}, Cd},
    {"dvd_plus_r_dl", {State::Blank, QStringLiteral("DVD+R DL")}, Dvd},
    {"dvd_ram", {State::Blank, QStringLiteral("DVD-RAM")}, Dvd},
    {"bd_re", {State::Blank, QStringLiteral("BD-RE")}, Bd},
    {"virtual_drive", {State::Blank, QString(), false, true}, 0},
    {"kind_unknown", {State::Blank, QString()}, 0},
    {"no_disc", {State::NoDisc, QStringLiteral("DVD-R")}, 0},
};

INSTANTIATE_TEST_SUITE_P(Rows, OneTimes, ::testing::ValuesIn(MediumRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(BurnSpeedMeter, SpeedOfTheLastSecondsOnly)
{
    BurnSpeedMeter meter;
    EXPECT_EQ(meter.add(0, 0), 0.0);
    EXPECT_EQ(meter.add(400, MiB / 2), 0.0) << "too little to tell";
    EXPECT_DOUBLE_EQ(meter.add(1000, MiB), double(MiB));
    // Ten seconds at 1 MiB/s, then five at 3 MiB/s: the old pace has left the window.
    qint64 done = MiB;
    for (qint64 ms = 2000; ms <= 10000; ms += 1000)
        meter.add(ms, done += MiB);
    double speed = 0;
    for (qint64 ms = 11000; ms <= 15000; ms += 1000)
        speed = meter.add(ms, done += 3 * MiB);
    EXPECT_DOUBLE_EQ(speed, 3.0 * MiB);
}

TEST(BurnSpeedMeter, ACountThatStartsAgainIsANewStretch)
{
    BurnSpeedMeter meter;
    meter.add(0, 0);
    meter.add(2000, 40 * MiB);
    EXPECT_EQ(meter.add(2500, MiB), 0.0) << "a read-back counting from 0 after the write";
    EXPECT_DOUBLE_EQ(meter.add(3500, 3 * MiB), 2.0 * MiB);
    meter.restart();
    EXPECT_EQ(meter.add(4000, 4 * MiB), 0.0);
    EXPECT_EQ(meter.add(4400, 5 * MiB), 0.0);
}

struct VerdictRow
{
    const char *name;
    ReadBack readBack;
    bool intact;
    const char *text;
};

class ReadBackWords : public ::testing::TestWithParam<VerdictRow>
{
};

TEST_P(ReadBackWords, VerdictNamesTheFirstDifference)
{
    const ReadBackVerdict verdict = ReadBackVerdictOf(GetParam().readBack);
    EXPECT_EQ(verdict.intact, GetParam().intact);
    EXPECT_EQ(verdict.text, QString::fromUtf8(GetParam().text));
}

const VerdictRow VerdictRows[] = {
    {"every_file_matches", {3, 3, {}, {}, -1}, true, "Read back: 3 files checked, none damaged."},
    {"an_image_without_files", {0, 0, {}, {}, -1}, true, "Read back: 0 files checked, none damaged."},
    {"one_file_differs",
     {3, 2, {}, QStringLiteral("/Backup/photos/two.jpg"), 100},
     false,
     "Read back: 3 files checked, 1 differs from the image: the first difference is in "
     "/Backup/photos/two.jpg at byte offset 100."},
    {"two_differ_the_first_named",
     {5, 3, {}, QStringLiteral("/a.txt"), 0},
     false,
     "Read back: 5 files checked, 2 differ from the image: the first difference is in /a.txt at byte offset "
     "0."},
    // Counts that disagree with themselves are never taken for a match.
    {"counts_without_a_name",
     {4, 3, {}, {}, -1},
     false,
     "Read back: 4 files checked, 1 differs from the image."},
    {"could_not_compare",
     {0, 0, QStringLiteral("The comparison was cancelled."), {}, -1},
     false,
     "Read back: The comparison was cancelled."},
};

INSTANTIATE_TEST_SUITE_P(Rows, ReadBackWords, ::testing::ValuesIn(VerdictRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace
