// How kestrane-cli words a drive and refuses to burn or erase on it, one row per drive and disc.
#include "cli/DriveWords.h"

#include "engine/EngineCodes.h"

#include <gtest/gtest.h>

using Cli::DriveFacts;
using Cli::WriteJob;
using State = MediumDetails::State;

namespace {

MediumDetails disc(State state, const char *kind = "", bool pressed = false)
{
    MediumDetails medium;
    medium.state = state;
    medium.kind = QString::fromLatin1(kind);
    medium.pressed = pressed;
    return medium;
}

DriveFacts drive(bool writer, int discType, const MediumDetails &medium, int64_t freeBytes = 0)
{
    DriveFacts facts;
    facts.letter = QStringLiteral("D");
    facts.name = QStringLiteral("QEMU QEMU DVD-ROM");
    facts.writer = writer;
    facts.discType = discType;
    facts.medium = medium;
    facts.freeBytes = freeBytes;
    return facts;
}

struct WordsRow
{
    const char *name;
    DriveFacts drive;
    const char *words;
    const char *burnRefusal;
    const char *eraseRefusal;
};

class DriveWordsTest : public ::testing::TestWithParam<WordsRow>
{
};

TEST_P(DriveWordsTest, WordsTheDriveAndWhatItRefuses)
{
    const WordsRow &row = GetParam();
    EXPECT_EQ(Cli::driveStateWords(row.drive), QString::fromUtf8(row.words));
    EXPECT_EQ(Cli::writeRefusal(WriteJob::Burn, row.drive), QString::fromUtf8(row.burnRefusal));
    EXPECT_EQ(Cli::writeRefusal(WriteJob::Erase, row.drive), QString::fromUtf8(row.eraseRefusal));
}

using namespace EngineCodes;
const MediumDetails NoDisc = disc(State::NoDisc);
const MediumDetails DvdRom = disc(State::Closed, "DVD-ROM", true);

DriveFacts stick()
{
    DriveFacts facts = drive(true, RandomAccess, disc(State::Blank), 1000);
    facts.stick = true;
    return facts;
}

DriveFacts virtualDrive()
{
    MediumDetails medium = disc(State::Blank);
    medium.virtualDisc = true;
    return drive(true, RandomAccess, medium, 67108864);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DriveWordsTest,
    ::testing::Values(
        WordsRow {"ReaderWithAnEmptyTray", drive(false, NoWritableMedium, NoDisc),
                  "reads discs only, no disc", "There is no disc in drive D: (QEMU QEMU DVD-ROM).",
                  "There is no disc in drive D: (QEMU QEMU DVD-ROM)."},
        WordsRow {"ReaderWithAPressedDisc", drive(false, NoWritableMedium, DvdRom),
                  "reads discs only, DVD-ROM (pressed, read-only)",
                  "Drive D: (QEMU QEMU DVD-ROM) cannot write discs: it only reads them.",
                  "Drive D: (QEMU QEMU DVD-ROM) cannot erase discs: it only reads them."},
        WordsRow {"ReaderWithABlankCdRItCannotWrite",
                  drive(false, NoWritableMedium, disc(State::Blank, "CD-R")),
                  "reads discs only, CD-R (blank)",
                  "Drive D: (QEMU QEMU DVD-ROM) cannot write discs: it only reads them.",
                  "Drive D: (QEMU QEMU DVD-ROM) cannot erase discs: it only reads them."},
        WordsRow {"WriterWithAnEmptyTray", drive(true, NoWritableMedium, NoDisc), "no disc",
                  "There is no disc in drive D: (QEMU QEMU DVD-ROM).",
                  "There is no disc in drive D: (QEMU QEMU DVD-ROM)."},
        WordsRow {
            "WriterWithAPressedDisc", drive(true, NoWritableMedium, disc(State::Closed, "CD-ROM", true)),
            "CD-ROM (pressed, read-only)",
            "The CD-ROM in drive D: (QEMU QEMU DVD-ROM) is a pressed, read-only disc: it cannot be written.",
            "The CD-ROM in drive D: (QEMU QEMU DVD-ROM) is a pressed, read-only disc: it cannot be erased."},
        WordsRow {"WriterWithAClosedCdR", drive(true, NoWritableMedium, disc(State::Closed, "CD-R")),
                  "CD-R (closed: nothing more can be written)",
                  "The CD-R in drive D: (QEMU QEMU DVD-ROM) is closed: nothing more can be written to it.",
                  "The CD-R in drive D: (QEMU QEMU DVD-ROM) cannot be erased: only rewritable discs can."},
        WordsRow {"WriterWithABlankCdR", drive(true, CdR, disc(State::Blank, "CD-R"), 736966656),
                  "CD-R (blank), 736,966,656 bytes free", "", ""},
        WordsRow {"WriterWithAnAppendableDvdPlusR",
                  drive(true, DvdPlusR, disc(State::Appendable, "DVD+R"), 2048),
                  "DVD+R (appendable), 2,048 bytes free", "", ""},
        WordsRow {"WriterWithAFullCdRw", drive(true, CdRw, disc(State::Closed, "CD-RW")),
                  "CD-RW (closed), 0 bytes free", "", ""},
        WordsRow {"WriterWithABdRe", drive(true, RandomAccess, disc(State::Closed, "BD-RE"), 4096),
                  "BD-RE (rewritable in place), 4,096 bytes free", "", ""},
        WordsRow {"WriterWithARandomRecordingBdRItCannotWrite",
                  drive(true, NoWritableMedium, disc(State::Blank, "BD-R")), "BD-R (blank)",
                  "The BD-R in drive D: (QEMU QEMU DVD-ROM) cannot be written by this drive.",
                  "The BD-R in drive D: (QEMU QEMU DVD-ROM) cannot be erased: only rewritable discs can."},
        WordsRow {"WriterWithAnUnreadableDisc", drive(true, NoWritableMedium, disc(State::Unreadable)),
                  "a disc it cannot read",
                  "The disc in drive D: (QEMU QEMU DVD-ROM) cannot be read by the drive.",
                  "The disc in drive D: (QEMU QEMU DVD-ROM) cannot be read by the drive."},
        WordsRow {"VirtualDriveKeepsItsWords", virtualDrive(),
                  "rewritable in place (DVD-RAM, BD-RE or a virtual drive), 67,108,864 bytes free", "", ""},
        WordsRow {"StickIsLeftToItsQuestion", stick(), "USB stick or SD card, 1,000 bytes free", "", ""}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace
