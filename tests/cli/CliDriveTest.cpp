#include "CliRunner.h"
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
    EXPECT_TRUE(cut.outLines().contains(QStringLiteral("damaged: /Backup/photos/two.jpg")))
        << cut.out.toStdString();
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
    // The copy burnt again is the same disc, file for file.
    ASSERT_EQ(cli({QStringLiteral("burn"), copy, QStringLiteral("--quiet")}).exitCode, 0);
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

TEST_F(CliVirtualDrive, RawCopyOfAnEmptyDiscWritesNothing)
{
    TestSupport::writeAll(disc, QByteArray());
    const QString copy = work.filePath(QStringLiteral("raw.iso"));
    const CliRunner::Result copied =
        cli({QStringLiteral("copy-disc"), QStringLiteral("D"), copy, QStringLiteral("--raw")});
    EXPECT_EQ(copied.exitCode, 1);
    EXPECT_EQ(
        copied.errLines(),
        QStringList {QStringLiteral("kestrane-cli: Error creating ISO File. The disc in drive D: holds no "
                                    "data to copy.")});
    EXPECT_FALSE(QFileInfo::exists(copy));
}

TEST_F(CliVirtualDrive, EraseEmptiesTheDrive)
{
    ASSERT_EQ(cli({QStringLiteral("burn"), iso, QStringLiteral("--quiet")}).exitCode, 0);
    ASSERT_GT(QFileInfo(disc).size(), 0);
    const CliRunner::Result erased =
        cli({QStringLiteral("erase"), QStringLiteral("--drive"), QStringLiteral("D")});
    EXPECT_EQ(erased.exitCode, 0) << erased.err.toStdString();
    EXPECT_EQ(QFileInfo(disc).size(), 0);
    // An empty disc holds nothing to copy.
    const CliRunner::Result copied =
        cli({QStringLiteral("copy-disc"), QStringLiteral("D"), work.filePath(QStringLiteral("none.iso"))});
    EXPECT_EQ(copied.exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(work.filePath(QStringLiteral("none.iso"))));
}

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

} // namespace
