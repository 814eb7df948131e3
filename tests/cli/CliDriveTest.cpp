#include "CliRunner.h"
#include "DamagedDiscs.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ImageTest;

namespace {

// A folder with a few files, made into an image by the command line, and one virtual drive D.
class CliVirtualDrive : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(work.isValid());
        source = work.filePath(QStringLiteral("Backup"));
        writeFile(source + QStringLiteral("/photos/one.jpg"), patterned(300000, 1));
        writeFile(source + QStringLiteral("/photos/two.jpg"), marked);
        writeFile(source + QStringLiteral("/notes.txt"), "notes");
        iso = work.filePath(QStringLiteral("backup.iso"));
        ASSERT_EQ(cli({QStringLiteral("make-iso"), iso, source, QStringLiteral("--quiet")}).exitCode, 0);
        disc = work.filePath(QStringLiteral("disc.img"));
        drives = disc + QStringLiteral("=64M");
    }
    CliRunner::Result cli(const QStringList &args) { return CliRunner::run(args, drives); }
    void changeDiscByte(qsizetype at)
    {
        QByteArray bytes = TestSupport::readAll(disc);
        ASSERT_LT(at, bytes.size());
        bytes[at] = char(bytes[at] ^ 0x40);
        TestSupport::writeAll(disc, bytes);
    }

    QTemporaryDir work;
    QString source;
    QString iso;
    QString disc;
    QString drives;
    const QByteArray marked = patterned(40000, 7);
};

TEST_F(CliVirtualDrive, BurnWithVerifyLeavesExactlyTheImageOnTheDisc)
{
    const CliRunner::Result burnt =
        cli({QStringLiteral("burn"), iso, QStringLiteral("--verify"), QStringLiteral("--quiet")});
    ASSERT_EQ(burnt.exitCode, 0) << burnt.err.toStdString();
    EXPECT_EQ(burnt.outLines(),
              (QStringList {QStringLiteral("Writing is complete!"),
                            QStringLiteral("Read back: 3 files checked, none damaged.")}));
    EXPECT_EQ(TestSupport::readAll(disc), TestSupport::readAll(iso));
}

TEST_F(CliVirtualDrive, VerifyAgainstTheImageFindsTheOneChangedFile)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--drive"), QStringLiteral("d:"),
                   QStringLiteral("--quiet")})
                  .exitCode,
              0);
    const CliRunner::Result intact =
        cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), iso});
    EXPECT_EQ(intact.exitCode, 0) << intact.err.toStdString();
    EXPECT_EQ(intact.outLines(), QStringList {QStringLiteral("3 files checked, none damaged.")});

    changeDiscByte(TestSupport::readAll(disc).indexOf(marked) + 100);
    const CliRunner::Result damaged =
        cli({QStringLiteral("verify"), QStringLiteral("D:"), QStringLiteral("--against"), iso});
    EXPECT_EQ(damaged.exitCode, 3);
    EXPECT_EQ(damaged.outLines(),
              (QStringList {QStringLiteral("damaged: /Backup/photos/two.jpg"),
                            QStringLiteral("3 files checked, 1 damaged.")}));
}

// A disc longer than the image (what a drive reads past its end) is compared over the image's
// length only; a disc shorter than the image is damaged where it ends.
TEST_F(CliVirtualDrive, VerifyAgainstComparesExactlyTheImagesLength)
{
    QByteArray image = TestSupport::readAll(iso);
    TestSupport::writeAll(disc, image + QByteArray(300 * 2048, '\x55'));
    EXPECT_EQ(cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), iso}).exitCode,
              0);

    TestSupport::writeAll(disc, image.left(image.indexOf(marked) + 1000));
    const CliRunner::Result cut =
        cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), iso});
    EXPECT_EQ(cut.exitCode, 3);
    EXPECT_TRUE(cut.outLines().contains(
        QStringLiteral("not checked: /Backup/photos/two.jpg (beyond the end of the disc)")))
        << cut.out.toStdString();
    EXPECT_TRUE(cut.outLines().filter(QStringLiteral("damaged: (the disc ends after ")).size() == 1)
        << cut.out.toStdString();
}

// An image cut short still names its files: those it no longer holds are not compared, not counted
// as checked, named one by one, and the check ends in damage.
TEST_F(CliVirtualDrive, VerifyAgainstAnImageCutShortNamesTheFilesItCouldNotCompare)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--quiet")}).exitCode, 0);
    const QByteArray image = TestSupport::readAll(iso);
    const QString cutIso = work.filePath(QStringLiteral("cut.iso"));
    TestSupport::writeAll(cutIso, image.left(image.indexOf(marked) + 1000));

    const CliRunner::Result cut =
        cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), cutIso});
    EXPECT_EQ(cut.exitCode, 3) << cut.err.toStdString();
    const QStringList notChecked = cut.outLines().filter(QStringLiteral("not checked: "));
    EXPECT_TRUE(notChecked.contains(
        QStringLiteral("not checked: /Backup/photos/two.jpg (beyond the end of the image)")))
        << cut.out.toStdString();
    EXPECT_TRUE(cut.outLines().filter(QStringLiteral("damaged: ")).isEmpty()) << cut.out.toStdString();
    EXPECT_EQ(cut.outLines().last(),
              QStringLiteral("%1 files checked, none damaged, %2 not checked.")
                  .arg(3 - notChecked.size())
                  .arg(notChecked.size()));
}

TEST_F(CliVirtualDrive, ChecksumsOfABurntDiscAreCheckedWithoutTheImage)
{
    const QString recorded = work.filePath(QStringLiteral("recorded.iso"));
    ASSERT_EQ(cli({QStringLiteral("make-iso"), recorded, source, QStringLiteral("--checksums"),
                   QStringLiteral("--quiet")})
                  .exitCode,
              0);
    ASSERT_EQ(cli({QStringLiteral("burn"), recorded, QStringLiteral("--quiet")}).exitCode, 0);
    EXPECT_EQ(cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--quiet")}).exitCode, 0);
    changeDiscByte(TestSupport::readAll(disc).indexOf(marked) + 5);
    const CliRunner::Result damaged =
        cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--quiet")});
    EXPECT_EQ(damaged.exitCode, 3);
    EXPECT_TRUE(damaged.outLines().contains(QStringLiteral("damaged: /Backup/photos/two.jpg")));
}

TEST_F(CliVirtualDrive, CopyDiscGivesTheDiscsFilesByteForByte)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--quiet")}).exitCode, 0);
    const QString copy = work.filePath(QStringLiteral("copy.iso"));
    const CliRunner::Result copied =
        cli({QStringLiteral("copy-disc"), QStringLiteral("D:"), copy, QStringLiteral("--quiet")});
    ASSERT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    const QString byBsdtar = work.filePath(QStringLiteral("bsdtar"));
    ASSERT_TRUE(extractWithBsdtar(copy, byBsdtar));
    EXPECT_EQ(compareTrees(source, byBsdtar + QStringLiteral("/Backup")), QStringList());
    // The copy burnt again (over the disc's data, hence --yes) is the same disc, file for file.
    ASSERT_EQ(
        cli({QStringLiteral("burn"), copy, QStringLiteral("--quiet"), QStringLiteral("--yes")}).exitCode, 0);
    EXPECT_EQ(
        cli({QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), copy}).exitCode, 0);
}

// The raw copy is the disc's data area as the drive reads it: the virtual disc's file, byte for byte,
// a last block cut short by the file's end included.
struct RawRow
{
    const char *name;
    qint64 tail; // bytes after the burnt image in the disc's file
};

void PrintTo(const RawRow &row, std::ostream *os)
{
    *os << row.name;
}

class CliRawCopy : public CliVirtualDrive, public ::testing::WithParamInterface<RawRow>
{
};

TEST_P(CliRawCopy, IsTheDiscByteForByte)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--quiet")}).exitCode, 0);
    if (GetParam().tail > 0)
        TestSupport::writeAll(disc, TestSupport::readAll(disc) + patterned(GetParam().tail, 9));
    const QString copy = work.filePath(QStringLiteral("raw.iso"));
    const CliRunner::Result copied = cli({QStringLiteral("copy-disc"), QStringLiteral("D:"), copy,
                                          QStringLiteral("--raw"), QStringLiteral("--quiet")});
    ASSERT_EQ(copied.exitCode, 0) << copied.err.toStdString();
    EXPECT_EQ(copied.outLines(), QStringList {QStringLiteral("ISO File Created successfully!")});
    EXPECT_EQ(run(QStringLiteral("cmp"), {disc, copy}).exitCode, 0);
    EXPECT_EQ(QFileInfo(copy).size(), QFileInfo(disc).size());
}

INSTANTIATE_TEST_SUITE_P(Discs, CliRawCopy,
                         ::testing::Values(RawRow {"burnt_image", 0}, RawRow {"whole_blocks_after_it", 4096},
                                           RawRow {"file_ends_inside_a_block", 1000}),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// The command ends at once, while the sleep lock's services may still be answering: the error is all
// it says. Repeated, because an answer arriving as the process ends is a matter of timing.
TEST_F(CliVirtualDrive, RawCopyOfAnEmptyDiscWritesNothing)
{
    TestSupport::writeAll(disc, QByteArray());
    const QString copy = work.filePath(QStringLiteral("raw.iso"));
    for (int run = 0; run < 10; ++run) {
        SCOPED_TRACE(run);
        const CliRunner::Result copied =
            cli({QStringLiteral("copy-disc"), QStringLiteral("D"), copy, QStringLiteral("--raw")});
        EXPECT_EQ(copied.exitCode, 1);
        EXPECT_EQ(copied.errLines(),
                  QStringList {QStringLiteral(
                      "kestrane-cli: Error creating ISO File. The disc in drive D: holds no data to copy.")});
        EXPECT_FALSE(QFileInfo::exists(copy));
    }
}

TEST_F(CliVirtualDrive, EraseEmptiesTheDrive)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--quiet")}).exitCode, 0);
    ASSERT_GT(QFileInfo(disc).size(), 0);
    const CliRunner::Result erased = cli(
        {QStringLiteral("erase"), QStringLiteral("--drive"), QStringLiteral("D"), QStringLiteral("--yes")});
    EXPECT_EQ(erased.exitCode, 0) << erased.err.toStdString();
    EXPECT_EQ(QFileInfo(disc).size(), 0);
    // An empty disc holds nothing to copy.
    const CliRunner::Result copied =
        cli({QStringLiteral("copy-disc"), QStringLiteral("D"), work.filePath(QStringLiteral("none.iso"))});
    EXPECT_EQ(copied.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(work.filePath(QStringLiteral("none.iso"))));
}

// Writing over a disc's data, or erasing it, needs the question answered; a script without a terminal
// gives --yes. A blank disc is written without either.
struct DataCommandCase
{
    const char *name;
    bool erase;
    bool discHoldsData;
    bool yes;
    int exitCode;
    QString errLine; // the one line on stderr; empty for none
};

class CliDiscData : public CliVirtualDrive, public ::testing::WithParamInterface<DataCommandCase>
{
};

TEST_P(CliDiscData, AskedOnlyForDataAndSkippedByYes)
{
    const DataCommandCase &c = GetParam();
    QByteArray before;
    if (c.discHoldsData) {
        ASSERT_EQ(cli({QStringLiteral("make-iso"), disc, source, QStringLiteral("--label"),
                       QStringLiteral("OLD"), QStringLiteral("--quiet")})
                      .exitCode,
                  0);
        before = TestSupport::readAll(disc);
    }
    QStringList args =
        c.erase ? QStringList {QStringLiteral("erase")} : QStringList {QStringLiteral("burn"), iso};
    args << QStringLiteral("--quiet");
    if (c.yes)
        args << QStringLiteral("--yes");
    const CliRunner::Result result = cli(args); // stdin is no terminal: nobody can answer
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err.toStdString();
    const QString expectedErr = QString(c.errLine).replace(QStringLiteral("DISC"), disc);
    EXPECT_EQ(result.errLines(), expectedErr.isEmpty() ? QStringList() : QStringList {expectedErr});
    if (c.exitCode != 0)
        EXPECT_EQ(TestSupport::readAll(disc), before) << "the disc is left as it was";
    else if (c.erase)
        EXPECT_EQ(QFileInfo(disc).size(), 0);
    else
        EXPECT_EQ(TestSupport::readAll(disc), TestSupport::readAll(iso));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliDiscData,
    ::testing::Values(
        DataCommandCase {"BurnOverDataRefused", false, true, false, 1,
                         QStringLiteral("kestrane-cli: The disc in DISC holds data and would be overwritten: "
                                        "answer the question on a terminal, or give --yes.")},
        DataCommandCase {"BurnOverDataWithYes", false, true, true, 0, {}},
        DataCommandCase {"BurnToBlankNotAsked", false, false, false, 0, {}},
        DataCommandCase {
            "EraseDataRefused", true, true, false, 1,
            QStringLiteral("kestrane-cli: The disc in DISC holds data and would be erased: answer "
                           "the question on a terminal, or give --yes.")},
        DataCommandCase {"EraseDataWithYes", true, true, true, 0, {}},
        DataCommandCase {"EraseBlankNotAsked", true, false, false, 0, {}}),
    [](const ::testing::TestParamInfo<DataCommandCase> &testInfo) {
        return std::string(testInfo.param.name);
    });

TEST_F(CliVirtualDrive, DrivesListsTheVirtualDriveWithItsFreeSpace)
{
    const CliRunner::Result listed = cli({QStringLiteral("drives")});
    ASSERT_EQ(listed.exitCode, 0);
    EXPECT_EQ(
        listed.outLines(),
        QStringList {QStringLiteral("D:Kestrane Virtual Recorder, rewritable in place (DVD-RAM, BD-RE or a "
                                    "virtual drive), 67,108,864 bytes free")});
}

TEST_F(CliVirtualDrive, BurnRefusesAnImageLargerThanTheDisc)
{
    drives = disc + QStringLiteral("=100K");
    const CliRunner::Result refused = cli({QStringLiteral("burn"), iso});
    EXPECT_EQ(refused.exitCode, 1);
    ASSERT_EQ(refused.errLines().size(), 1);
    EXPECT_TRUE(refused.errLines().first().startsWith(
        QStringLiteral("kestrane-cli: Free Space on the loaded disc is 0.10 MB! This data image requires")))
        << refused.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(disc) && QFileInfo(disc).size() > 0);
}

// A hostile disc in drive D ends each check by itself, within the runner's bound, with a reason and
// a status that never says all is well.
struct HostileRow
{
    const char *name;
    DamagedDiscs::Damage damage;
    int verifyStatus; // verify D
    int againstStatus; // verify D --against the same file as the image
    const char *said; // a part of what verify D says
};

class CliHostileDisc : public ::testing::TestWithParam<HostileRow>
{
};

TEST_P(CliHostileDisc, VerifyEndsWithTheReason)
{
    const HostileRow &row = GetParam();
    QTemporaryDir work;
    const QString disc = DamagedDiscs::make(row.damage, work.path());
    ASSERT_FALSE(disc.isEmpty());
    const QString drives = disc + QStringLiteral("=64M");
    const CliRunner::Result verified =
        CliRunner::run({QStringLiteral("verify"), QStringLiteral("D")}, drives, 30000);
    EXPECT_EQ(verified.exitCode, row.verifyStatus)
        << verified.out.toStdString() << verified.err.toStdString();
    EXPECT_TRUE((verified.out + verified.err).contains(row.said))
        << verified.out.toStdString() << verified.err.toStdString();
    EXPECT_FALSE(verified.err.contains("NOTE")) << verified.err.toStdString();
    if (row.againstStatus < 0)
        return;
    const CliRunner::Result against = CliRunner::run(
        {QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), disc}, drives, 30000);
    EXPECT_EQ(against.exitCode, row.againstStatus) << against.out.toStdString() << against.err.toStdString();
}

const HostileRow HostileRows[] = {
    {"FolderLoopsToRoot", DamagedDiscs::Damage::FolderLoopsToRoot, 3, 1,
     "leads back into a folder that holds it"},
    {"FanOut", DamagedDiscs::Damage::FanOut, 3, 1, "share their records"},
    {"OverlapIntoParent", DamagedDiscs::Damage::OverlapIntoParent, 3, 1,
     "leads back into a folder that holds it"},
    {"CutInDirectoryArea", DamagedDiscs::Damage::CutInDirectoryArea, 3, 1,
     "damaged: (the folders: it ends after"},
    {"FifoAsDrive", DamagedDiscs::Damage::FifoAsDrive, 1, 1, "it is not a disc or an image file"},
    // An --against image must be a file: the drive alone is what this row is about.
    {"EmptyDrive", DamagedDiscs::Damage::EmptyDrive, 1, -1, "There is no disc in "},
};

INSTANTIATE_TEST_SUITE_P(Discs, CliHostileDisc, ::testing::ValuesIn(HostileRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// The read-back of a burn whose image's folders cannot be read compares nothing: never a success.
TEST(CliHostileBurn, ReadBackOfALoopingImageFails)
{
    QTemporaryDir work;
    const QString image = DamagedDiscs::make(DamagedDiscs::Damage::FolderLoopsToRoot, work.path());
    ASSERT_FALSE(image.isEmpty());
    const CliRunner::Result burnt =
        CliRunner::run({QStringLiteral("burn"), image, QStringLiteral("--verify"), QStringLiteral("--quiet")},
                       work.filePath(QStringLiteral("disc.img=64M")), 60000);
    EXPECT_EQ(burnt.exitCode, 1) << burnt.out.toStdString() << burnt.err.toStdString();
    EXPECT_TRUE(burnt.err.contains("Read back: The image ")) << burnt.err.toStdString();
    EXPECT_TRUE(burnt.err.contains("leads back into a folder that holds it")) << burnt.err.toStdString();
}

} // namespace
