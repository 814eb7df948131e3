// What the engine tells about a disc before a burn overwrites it or an erase empties it: whether it
// holds data, its label and used size, for scripted drives and for virtual drives.
#include "engine/DiscContents.h"
#include "ScriptedDriveLayer.h"
#include "TestSupport.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/MediumHead.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

using Drives::DiscStatus;

namespace {

// The start of a medium holding an ISO 9660 volume: the system area, then the primary descriptor.
QByteArray isoHead(const QByteArray &label, uint32_t blocks)
{
    QByteArray head(Drives::MediumHeadBytes, '\0');
    char *pvd = head.data() + 16 * 2048;
    pvd[0] = 1;
    memcpy(pvd + 1, "CD001", 5);
    pvd[6] = 1;
    memset(pvd + 40, ' ', 32);
    memcpy(pvd + 40, label.constData(), size_t(label.size()));
    for (int i = 0; i < 4; ++i) {
        pvd[80 + i] = char((blocks >> (8 * i)) & 0xff); // little-endian half
        pvd[87 - i] = char((blocks >> (8 * i)) & 0xff); // big-endian half
    }
    return head;
}

struct HeadCase
{
    const char *name;
    QByteArray head;
    bool holdsData;
    QString label;
    int64_t usedBytes;
};

class MediumHeads : public ::testing::TestWithParam<HeadCase>
{
};

TEST_P(MediumHeads, TellDataLabelAndSize)
{
    const HeadCase &c = GetParam();
    const Drives::MediumHead head = Drives::readMediumHead(c.head);
    EXPECT_EQ(head.holdsData, c.holdsData);
    EXPECT_EQ(head.label, c.label);
    EXPECT_EQ(head.usedBytes, c.usedBytes);
}

QByteArray withByteAt(qsizetype at)
{
    QByteArray head(Drives::MediumHeadBytes, '\0');
    head[at] = '\x7f';
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Heads, MediumHeads,
    ::testing::Values(HeadCase {"Zeros", QByteArray(Drives::MediumHeadBytes, '\0'), false, {}, -1},
                      HeadCase {"Nothing", QByteArray(), false, {}, -1},
                      HeadCase {"IsoVolume", isoHead("OLD BACKUP", 175), true, QStringLiteral("OLD BACKUP"),
                                175 * 2048},
                      HeadCase {"LabelAllBlanks", isoHead("", 16), true, QString(), 16 * 2048},
                      HeadCase {"Utf8Label",
                                isoHead("Gr\xc3\xbc\xc3\x9f"
                                        "e",
                                        40),
                                true, QStringLiteral("Grüße"), 40 * 2048},
                      HeadCase {"LastByteOnly", withByteAt(Drives::MediumHeadBytes - 1), true, {}, -1},
                      HeadCase {"SystemAreaOnly", withByteAt(510), true, {}, -1},
                      // A descriptor cut short is not read as a volume.
                      HeadCase {"CutIsoVolume", isoHead("CUT", 20).left(16 * 2048 + 100), true, {}, -1}),
    [](const ::testing::TestParamInfo<HeadCase> &testInfo) { return std::string(testInfo.param.name); });

// One scripted recorder E (D reads only) holding the medium of the row.
struct ScriptedCase
{
    const char *name;
    int profile;
    DiscStatus status;
    QByteArray content;
    bool readable;
    std::optional<QString> kind; // none: not asked about
    QString label;
    int64_t usedBytes;
};

class ScriptedDiscData : public ::testing::TestWithParam<ScriptedCase>
{
protected:
    void TearDown() override { TDVDWriterPro2::setDriveLayer(nullptr); }
};

TEST_P(ScriptedDiscData, OnlyRewritableDiscsThatHoldDataAreNamed)
{
    const ScriptedCase &c = GetParam();
    qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    auto layer = std::make_shared<LayerScript>();
    auto reader = scriptedDrive(QStringLiteral("/dev/sr0"), false, 0x10, DiscStatus::Full, {0x08, 0x10});
    auto writer = scriptedDrive(QStringLiteral("/dev/sr1"), true, c.profile, c.status,
                                {0x09, 0x0a, 0x11, 0x12, 0x13, 0x14, 0x1a, 0x1b, 0x43});
    writer->content = c.content;
    writer->readable = c.readable;
    layer->drives = {reader, writer};
    TDVDWriterPro2::setDriveLayer(std::make_unique<ScriptedDriveLayer>(layer));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    ASSERT_TRUE(engine.InitializeDrives(0));
    ASSERT_TRUE(engine.SelectDrive(1));
    const std::optional<DiscContents> disc = engine.DataOnDisc();
    ASSERT_EQ(disc.has_value(), c.kind.has_value());
    if (!disc)
        return;
    EXPECT_EQ(disc->kind, *c.kind);
    EXPECT_EQ(disc->driveLetter, QStringLiteral("E"));
    EXPECT_EQ(disc->driveName, QStringLiteral("Vendor Model /dev/sr1"));
    EXPECT_EQ(disc->device, QStringLiteral("/dev/sr1"));
    EXPECT_EQ(disc->label, c.label);
    EXPECT_EQ(disc->usedBytes, c.usedBytes);
}

const QByteArray Zeros;
const QByteArray Backup = isoHead("BACKUP", 512);

INSTANTIATE_TEST_SUITE_P(
    Media, ScriptedDiscData,
    ::testing::Values(
        // Written in place: libburn calls them blank whatever they hold; their start tells.
        ScriptedCase {"DvdPlusRwZeros", 0x1a, DiscStatus::Blank, Zeros, true, std::nullopt, {}, -1},
        ScriptedCase {"DvdPlusRwWithIso", 0x1a, DiscStatus::Blank, Backup, true, QStringLiteral("DVD+RW"),
                      QStringLiteral("BACKUP"), 512 * 2048},
        ScriptedCase {
            "DvdPlusRwUnreadable", 0x1a, DiscStatus::Blank, Zeros, false, QStringLiteral("DVD+RW"), {}, -1},
        ScriptedCase {"BdReOtherData",
                      0x43,
                      DiscStatus::Blank,
                      QByteArray(3000, 'u'),
                      true,
                      QStringLiteral("BD-RE"),
                      {},
                      -1},
        ScriptedCase {"DvdRamZeros", 0x12, DiscStatus::Blank, Zeros, true, std::nullopt, {}, -1},
        ScriptedCase {"DvdRwOverwriteWithIso", 0x13, DiscStatus::Blank, Backup, true,
                      QStringLiteral("DVD-RW"), QStringLiteral("BACKUP"), 512 * 2048},
        // Sequential: written once they are not blank, even when their start says nothing.
        ScriptedCase {"CdRwBlank", 0x0a, DiscStatus::Blank, Zeros, false, std::nullopt, {}, -1},
        ScriptedCase {
            "CdRwAppendable", 0x0a, DiscStatus::Appendable, Zeros, false, QStringLiteral("CD-RW"), {}, -1},
        ScriptedCase {"DvdRwFullWithIso", 0x14, DiscStatus::Full, Backup, true, QStringLiteral("DVD-RW"),
                      QStringLiteral("BACKUP"), 512 * 2048},
        // Write-once discs are only ever added to; no disc is no question either.
        ScriptedCase {"DvdRAppendable", 0x11, DiscStatus::Appendable, Backup, true, std::nullopt, {}, -1},
        ScriptedCase {"NoDisc", 0, DiscStatus::Empty, Zeros, false, std::nullopt, {}, -1}),
    [](const ::testing::TestParamInfo<ScriptedCase> &testInfo) { return std::string(testInfo.param.name); });

// A virtual drive: a missing or empty file is blank; anything else is data.
struct VirtualCase
{
    const char *name;
    std::optional<QByteArray> file; // none: no file
    bool asked;
    QString label;
    int64_t usedBytes; // -2: the file's size
};

class VirtualDiscData : public ::testing::TestWithParam<VirtualCase>
{
};

TEST_P(VirtualDiscData, FileContentDecides)
{
    const VirtualCase &c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("disc.img"));
    if (c.file)
        TestSupport::writeAll(path, *c.file);
    qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(path));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    ASSERT_TRUE(engine.InitializeDrives(0));
    const std::optional<DiscContents> disc = engine.DataOnDisc();
    qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    engine.InitializeDrives(0);
    ASSERT_EQ(disc.has_value(), c.asked);
    if (!disc)
        return;
    EXPECT_EQ(disc->kind, QStringLiteral("virtual disc"));
    EXPECT_EQ(disc->device, path);
    EXPECT_EQ(disc->label, c.label);
    EXPECT_EQ(disc->usedBytes, c.usedBytes == -2 ? c.file->size() : c.usedBytes);
    EXPECT_EQ(
        OverwriteDiscQuestionText(*disc),
        QStringLiteral("Everything on the virtual disc in drive D: (Kestrane Virtual Recorder, %1) will be "
                       "overwritten by the image.\n\n%2\n\nWrite the image to this disc?")
            .arg(path,
                 c.label.isEmpty() ? QStringLiteral("It holds 0.00 MB of data without a volume label.")
                                   : QStringLiteral("It holds \"%1\", 1.00 MB used.").arg(c.label)));
}

INSTANTIATE_TEST_SUITE_P(Files, VirtualDiscData,
                         ::testing::Values(VirtualCase {"NoFile", std::nullopt, false, {}, -1},
                                           VirtualCase {"EmptyFile", QByteArray(), false, {}, -1},
                                           VirtualCase {"IsoImage", isoHead("OLD BACKUP", 512), true,
                                                        QStringLiteral("OLD BACKUP"), 512 * 2048},
                                           VirtualCase {"OtherData", QByteArray(2048, 'd'), true, {}, -2}),
                         [](const ::testing::TestParamInfo<VirtualCase> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST(DiscQuestionTexts, NameWhatIsKnown)
{
    DiscContents disc {QStringLiteral("E"),           QStringLiteral("HL-DT-ST DVDRAM GH24NSD1"),
                       QStringLiteral("/dev/sr1"),    QStringLiteral("BD-RE"),
                       QStringLiteral("PHOTOS 2019"), int64_t(3) << 30};
    EXPECT_EQ(
        EraseDiscQuestionText(disc),
        QStringLiteral("Everything on the BD-RE in drive E: (HL-DT-ST DVDRAM GH24NSD1, /dev/sr1) will be "
                       "erased.\n\nIt holds \"PHOTOS 2019\", 3.00 GB used.\n\nErase this disc?"));
    disc.usedBytes = -1;
    EXPECT_TRUE(EraseDiscQuestionText(disc).contains(QStringLiteral("\n\nIt holds \"PHOTOS 2019\".\n\n")));
    disc.label.clear();
    EXPECT_TRUE(OverwriteDiscQuestionText(disc).contains(
        QStringLiteral("\n\nIt holds data whose label and size could not be read.\n\n")));
}

} // namespace
