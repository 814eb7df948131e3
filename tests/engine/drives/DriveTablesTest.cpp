#include "engine/drives/LibraryMessages.h"
#include "engine/drives/MediaTable.h"
#include "engine/drives/SenseTable.h"
#include "engine/drives/VirtualDrives.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Drives;

namespace {

struct VirtualRow
{
    const char *name;
    const char *value;
    std::vector<std::pair<QString, int64_t>> drives;
    int problems;
};

class VirtualDriveListTest : public ::testing::TestWithParam<VirtualRow>
{
};

TEST_P(VirtualDriveListTest, ParsesEntries)
{
    const VirtualRow &row = GetParam();
    const VirtualDriveList list = parseVirtualDrives(QString::fromUtf8(row.value));
    ASSERT_EQ(list.drives.size(), row.drives.size());
    for (size_t i = 0; i < row.drives.size(); ++i) {
        EXPECT_EQ(list.drives[i].path, row.drives[i].first);
        EXPECT_EQ(list.drives[i].size, row.drives[i].second);
    }
    EXPECT_EQ(list.problems.size(), row.problems);
}

const QString cwd = QDir::currentPath();

INSTANTIATE_TEST_SUITE_P(
    Rows, VirtualDriveListTest,
    ::testing::Values(
        VirtualRow {"Unset", "", {}, 0},
        VirtualRow {"PlainPathGetsSingleLayerDvd", "/tmp/a.img", {{"/tmp/a.img", 4'700'372'992}}, 0},
        VirtualRow {"Bytes", "/tmp/a.img=1000", {{"/tmp/a.img", 1000}}, 0},
        VirtualRow {"SuffixesStepBy1024",
                    "/k=3K:/m=2m:/g=1G",
                    {{"/k", 3072}, {"/m", 2 * 1048576}, {"/g", 1073741824}},
                    0},
        VirtualRow {"EmptyEntriesSkipped", "::/a::/b:", {{"/a", 4'700'372'992}, {"/b", 4'700'372'992}}, 0},
        VirtualRow {"RelativePathMadeAbsolute", "rel.img=1K", {{cwd + "/rel.img", 1024}}, 0},
        VirtualRow {"BadSizesLeftOut",
                    "/a=:/b=12X:/c=0:/d=-5:/e=1.5G:/f=99999999999999999999G:/ok=1",
                    {{"/ok", 1}},
                    6},
        VirtualRow {"NoPath", "=5M", {}, 1}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct MediumRow
{
    const char *name;
    int profile;
    DiscStatus status;
    int discType;
};

class DiscTypeTableTest : public ::testing::TestWithParam<MediumRow>
{
};

TEST_P(DiscTypeTableTest, MapsProfileAndStatus)
{
    EXPECT_EQ(discTypeFor(GetParam().profile, GetParam().status), GetParam().discType);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscTypeTableTest,
    ::testing::Values(MediumRow {"NoDisc", 0x00, DiscStatus::Empty, 254},
                      MediumRow {"EmptyStatusWinsOverProfile", 0x09, DiscStatus::Empty, 254},
                      MediumRow {"NotYetKnown", 0x09, DiscStatus::Unknown, 254},
                      MediumRow {"CdRom", 0x08, DiscStatus::Full, 254},
                      MediumRow {"BlankCdR", 0x09, DiscStatus::Blank, 255},
                      MediumRow {"AppendableCdR", 0x09, DiscStatus::Appendable, 255},
                      MediumRow {"ClosedCdR", 0x09, DiscStatus::Full, 254},
                      MediumRow {"FullCdRw", 0x0a, DiscStatus::Full, 253},
                      MediumRow {"BlankCdRw", 0x0a, DiscStatus::Blank, 253},
                      MediumRow {"DvdRom", 0x10, DiscStatus::Full, 254},
                      MediumRow {"BlankDvdR", 0x11, DiscStatus::Blank, 2},
                      MediumRow {"ClosedDvdR", 0x11, DiscStatus::Full, 254},
                      MediumRow {"DvdRDualLayer", 0x15, DiscStatus::Appendable, 2},
                      MediumRow {"DvdRam", 0x12, DiscStatus::Blank, 9},
                      MediumRow {"DvdRwOverwrite", 0x13, DiscStatus::Blank, 1},
                      MediumRow {"DvdRwSequentialFull", 0x14, DiscStatus::Full, 1},
                      MediumRow {"DvdPlusRw", 0x1a, DiscStatus::Blank, 3},
                      MediumRow {"DvdPlusR", 0x1b, DiscStatus::Blank, 4},
                      MediumRow {"ClosedDvdPlusRDualLayer", 0x2b, DiscStatus::Full, 254},
                      MediumRow {"BdRom", 0x40, DiscStatus::Full, 254},
                      MediumRow {"BlankBdR", 0x41, DiscStatus::Blank, 10},
                      MediumRow {"BdRRandomIsReadOnlyForLibburn", 0x42, DiscStatus::Blank, 254},
                      MediumRow {"BdRe", 0x43, DiscStatus::Full, 9},
                      MediumRow {"PlainFile", 0xffff, DiscStatus::Blank, 9},
                      MediumRow {"UnknownProfile", 0x50, DiscStatus::Blank, 254}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct KindRow
{
    const char *name;
    int profile;
    DiscStatus status;
    MediumDetails::State state;
    const char *kind;
    bool pressed;
};

class MediumDetailsTableTest : public ::testing::TestWithParam<KindRow>
{
};

TEST_P(MediumDetailsTableTest, NamesKindAndState)
{
    const MediumDetails details = mediumDetailsFor(GetParam().profile, GetParam().status);
    EXPECT_EQ(details.state, GetParam().state);
    EXPECT_EQ(details.kind, QString::fromLatin1(GetParam().kind));
    EXPECT_EQ(details.pressed, GetParam().pressed);
    EXPECT_EQ(details.virtualDisc, GetParam().profile == 0xffff);
}

using S = MediumDetails::State;
INSTANTIATE_TEST_SUITE_P(
    Rows, MediumDetailsTableTest,
    ::testing::Values(
        KindRow {"EmptyTrayHasNoKindEvenWithAStaleProfile", 0x10, DiscStatus::Empty, S::NoDisc, "", false},
        KindRow {"PressedCd", 0x08, DiscStatus::Full, S::Closed, "CD-ROM", true},
        KindRow {"PressedDvd", 0x10, DiscStatus::Full, S::Closed, "DVD-ROM", true},
        KindRow {"PressedBd", 0x40, DiscStatus::Full, S::Closed, "BD-ROM", true},
        KindRow {"BlankCdR", 0x09, DiscStatus::Blank, S::Blank, "CD-R", false},
        KindRow {"ClosedCdR", 0x09, DiscStatus::Full, S::Closed, "CD-R", false},
        KindRow {"AppendableDvdPlusRDualLayer", 0x2b, DiscStatus::Appendable, S::Appendable, "DVD+R DL",
                 false},
        KindRow {"DvdRwRestrictedOverwrite", 0x13, DiscStatus::Blank, S::Blank, "DVD-RW", false},
        KindRow {"BdRRandomRecording", 0x42, DiscStatus::Blank, S::Blank, "BD-R", false},
        KindRow {"BdRe", 0x43, DiscStatus::Full, S::Closed, "BD-RE", false},
        KindRow {"StatusNotYetKnown", 0x08, DiscStatus::Unknown, S::Unreadable, "CD-ROM", true},
        KindRow {"UnsuitableDisc", 0x00, DiscStatus::Unsuitable, S::Unreadable, "", false},
        KindRow {"UnknownProfileKeepsItsState", 0x50, DiscStatus::Full, S::Closed, "", false},
        KindRow {"PlainFileIsVirtual", 0xffff, DiscStatus::Blank, S::Blank, "", false}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(CapabilityTable, FollowsTheDriveProfiles)
{
    const std::vector<int> cdWriter {0x08, 0x09, 0x0a};
    const std::vector<int> dvdWriter {0x09, 0x0a, 0x11, 0x13, 0x14, 0x1a, 0x1b};
    const std::vector<int> ramWriter {0x12};
    const std::vector<int> plainFile {0xffff};
    EXPECT_TRUE(driveHasCapability(7, cdWriter));
    EXPECT_FALSE(driveHasCapability(10, cdWriter));
    EXPECT_FALSE(driveHasCapability(37, cdWriter));
    EXPECT_TRUE(driveHasCapability(10, dvdWriter));
    EXPECT_TRUE(driveHasCapability(37, dvdWriter));
    EXPECT_FALSE(driveHasCapability(39, dvdWriter));
    EXPECT_TRUE(driveHasCapability(39, ramWriter));
    EXPECT_TRUE(driveHasCapability(39, plainFile));
    EXPECT_FALSE(driveHasCapability(7, plainFile));
    EXPECT_FALSE(driveHasCapability(8, dvdWriter)); // codes outside the table answer false
}

TEST(CapabilityTable, BaseSpeedsByMediumClass)
{
    EXPECT_EQ(baseSpeedFor(0x09), 176);
    EXPECT_EQ(baseSpeedFor(0x1a), 1385);
    EXPECT_EQ(baseSpeedFor(0x43), 4495);
}

struct SenseRow
{
    const char *name;
    const char *message;
    int key, asc, ascq;
    int driveError;
};

class SenseTableTest : public ::testing::TestWithParam<SenseRow>
{
};

TEST_P(SenseTableTest, ParsesAndMaps)
{
    const std::optional<Sense> sense = parseSense(QString::fromUtf8(GetParam().message));
    ASSERT_TRUE(sense.has_value());
    EXPECT_EQ(sense->key, GetParam().key);
    EXPECT_EQ(sense->asc, GetParam().asc);
    EXPECT_EQ(sense->ascq, GetParam().ascq);
    EXPECT_EQ(driveErrorFor(*sense), GetParam().driveError);
}

// Message texts as libburn writes them.
INSTANTIATE_TEST_SUITE_P(
    Rows, SenseTableTest,
    ::testing::Values(
        SenseRow {"MediumNotPresent",
                  "SCSI error condition on command 51h READ DISC INFORMATION: [2 3A 01]  Medium not present, "
                  "tray closed",
                  2, 0x3a, 1, 1033},
        SenseRow {"LbaOutOfRange", "SCSI error on write(16,16): [5 21 00] Illegal request. Lba out of range.",
                  5, 0x21, 0, 1021},
        SenseRow {"InvalidAddressForWrite", "SCSI error on write(0,16): [5 21 02]  Invalid address", 5, 0x21,
                  2, 1021},
        SenseRow {"WriteError", "SCSI error on write(16976,16): [3 0C 00] Write error", 3, 0x0c, 0, 1005},
        SenseRow {"LossOfStreamingIsUnderrun",
                  "SCSI error on write(32,16): [3 0C 09]  Write error, loss of streaming", 3, 0x0c, 9, 1008},
        SenseRow {"BusReset",
                  "SCSI error condition on command 2Ah WRITE(10): [6 29 00]  Power on, reset, or bus device "
                  "reset occured",
                  6, 0x29, 0, 1026},
        SenseRow {"PowerCalibrationAreaError",
                  "SCSI error condition on command 54h SEND OPC INFORMATION: [3 73 03]", 3, 0x73, 3, 1047},
        SenseRow {"PmaFull", "[5 73 05] Program memory area is full", 5, 0x73, 5, 1050},
        SenseRow {"FormatInProgress", "[2 04 04] Logical unit is in the process of becoming ready", 2, 4, 4,
                  1055},
        SenseRow {"NotReady", "[2 04 01] Logical unit is in the process of becoming ready", 2, 4, 1, 1002},
        SenseRow {"IncompatibleFormatForWriting", "[5 30 05] Cannot write medium, incompatible format", 5,
                  0x30, 5, 1032},
        SenseRow {"SessionFixationLeadOut", "[3 72 02] Session fixation error", 3, 0x72, 2, 1044},
        SenseRow {"OlderKeyEqualsForm", "SCSI error on write(-150,32): key=5 asc=30h ascq=05h", 5, 0x30, 5,
                  1032},
        SenseRow {"NoSenseAtAll", "[0 00 00]  (No error reported by SCSI transaction)", 0, 0, 0, 1000},
        SenseRow {"AbortedCommand", "[B 47 00] Aborted", 0xb, 0x47, 0, 1019},
        SenseRow {"UnknownHardwareFault", "[4 99 01] Failure", 4, 0x99, 1, 1034},
        SenseRow {"NothingFitsIsUnknown", "[5 55 01] Failure. See mmc3r10g.pdf: Sense Key 5 ASC 55 ASCQ 01",
                  5, 0x55, 1, 1051}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(SenseTable, TextWithoutSenseHasNone)
{
    EXPECT_FALSE(
        parseSense(QStringLiteral("Cannot write desired amount of 32768 bytes. write(2) returned -1.")));
    EXPECT_FALSE(parseSense(QStringLiteral("Track [1] done")));
}

TEST(SenseTable, SenseInfoIsTwoDigitHex)
{
    EXPECT_EQ((Sense {5, 0x21, 2}).text(), QStringLiteral("05/21/02"));
    EXPECT_EQ((Sense {0xb, 0xaf, 0xff}).text(), QStringLiteral("0B/AF/FF"));
}

LibraryMessage message(const char *severity, const char *text, int osErrno = 0, int code = 0x20148)
{
    return LibraryMessage {code, QString::fromLatin1(severity), osErrno, QString::fromLatin1(text)};
}

TEST(FailureReport, ImageReadFailureIsWriteErrorOne)
{
    const WriteErrorReport report =
        reportFailure({message("SORRY", "Premature end of input")},
                      QStringLiteral("Cannot read the image file /x.iso: Input/output error"));
    EXPECT_EQ(report.writeError, 1);
    EXPECT_EQ(report.errorInfo, QStringLiteral("Cannot read the image file /x.iso: Input/output error"));
}

TEST(FailureReport, SenseFromDebugMessageAndReasonFromTheMostSevere)
{
    const std::vector<LibraryMessage> messages {
        message("DEBUG", "SCSI error condition on command 2Ah WRITE(10): [5 21 02]  Invalid address"),
        message("FATAL", "SCSI error on write(0,16): [5 21 02]  Invalid address"),
        message("NOTE", "Drive released"),
        message("FATAL", "Burn run failed"),
    };
    const WriteErrorReport report = reportFailure(messages, {});
    EXPECT_EQ(report.writeError, 3);
    EXPECT_EQ(report.driveError, 1021);
    EXPECT_EQ(report.senseInfo, QStringLiteral("05/21/02"));
    EXPECT_EQ(report.errorInfo, QStringLiteral("SCSI error on write(0,16): [5 21 02]  Invalid address"));
    EXPECT_EQ(report.usedMessage, 1);
}

TEST(FailureReport, NoSenseIsWriteErrorTwoWithTheSystemReason)
{
    const WriteErrorReport report = reportFailure(
        {message("DEBUG", "Allocating buffer via mmap()"),
         message("SORRY", "Cannot write desired amount of 32768 bytes. write(2) returned -1.", 28)},
        {});
    EXPECT_EQ(report.writeError, 2);
    EXPECT_EQ(
        report.errorInfo,
        QStringLiteral(
            "Cannot write desired amount of 32768 bytes. write(2) returned -1. (No space left on device)"));
    EXPECT_TRUE(report.senseInfo.isEmpty());
}

TEST(FailureReport, WithoutAnErrorTheMostSevereMessageExplains)
{
    const WriteErrorReport report =
        reportFailure({message("NOTE", "Drive examined"), message("WARNING", "Medium may be unreliable"),
                       message("NOTE", "Done")},
                      {});
    EXPECT_EQ(report.writeError, 2);
    EXPECT_EQ(report.errorInfo, QStringLiteral("Medium may be unreliable"));
    EXPECT_EQ(report.usedMessage, 1);
}

TEST(FailureReport, NoMessagesStillExplains)
{
    const WriteErrorReport report = reportFailure({}, {});
    EXPECT_EQ(report.writeError, 2);
    EXPECT_FALSE(report.errorInfo.isEmpty());
}

} // namespace
