// Disc to image: the file system of a "disc" (an ISO file bound to a drive letter) becomes the image.
#include "ImageTestSupport.h"
#include "KestraneError.h"
#include "Libraries.h"
#include "TDVDWriterPro2.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ImageTest;

namespace {

void buildDiscTree(const QString &root)
{
    writeFile(root + QStringLiteral("/readme.txt"), "read me");
    writeFile(root + QStringLiteral("/Ünïcödé/日本語.txt"), "unicode");
    writeFile(root + QStringLiteral("/data/big.bin"), patterned(3 * (1 << 20) + 77, 4));
    writeFile(root + QStringLiteral("/.hidden"), "hidden");
    makeDirs(root + QStringLiteral("/empty"));
    makeSymlink(QStringLiteral("readme.txt"), root + QStringLiteral("/link"));
    QString deep = root + QStringLiteral("/deep");
    for (int level = 1; level <= 10; ++level)
        deep += QStringLiteral("/l%1").arg(level);
    writeFile(deep + QStringLiteral("/bottom.txt"), "bottom");
}

struct Mastering
{
    const char *name;
    const char *program;
    QStringList (*args)(const QString &iso, const QString &tree);
};

const Mastering Masterings[] = {
    {"genisoimage", "genisoimage",
     [](const QString &iso, const QString &tree) {
         return QStringList {QStringLiteral("-quiet"),
                             QStringLiteral("-J"),
                             QStringLiteral("-R"),
                             QStringLiteral("-V"),
                             QStringLiteral("FROMDISC"),
                             QStringLiteral("-o"),
                             iso,
                             tree};
     }},
    {"xorriso", "xorriso",
     [](const QString &iso, const QString &tree) {
         return QStringList {QStringLiteral("-as"),
                             QStringLiteral("mkisofs"),
                             QStringLiteral("-quiet"),
                             QStringLiteral("-J"),
                             QStringLiteral("-R"),
                             QStringLiteral("-o"),
                             iso,
                             tree};
     }},
};

class ImageImport : public ::testing::TestWithParam<Mastering>
{
protected:
    void TearDown() override { DriveLetters::clear(); }
};

TEST_P(ImageImport, DiscTreeSurvivesImportAndRewrite)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    buildDiscTree(tree);
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    const ProcessResult made = run(QString::fromUtf8(GetParam().program), GetParam().args(disc, tree));
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    EventLog log(engine);
    engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));
    QStringList reported {QStringLiteral("\\")};
    for (const Event &e : log.added) {
        EXPECT_TRUE(reported.contains(e.parentDest)) << e.itemDest.toStdString();
        reported << e.itemDest;
    }
    EXPECT_TRUE(
        reported.contains(QStringLiteral("\\deep\\l1\\l2\\l3\\l4\\l5\\l6\\l7\\l8\\l9\\l10\\bottom.txt")));
    EXPECT_FALSE(reported.contains(QStringLiteral("\\rr_moved")));

    const int64_t blocks = engine.ImageSizeBlocks();
    const QString copy = work.filePath(QStringLiteral("copy.iso"));
    ASSERT_TRUE(engine.WriteImageFile(copy)) << engine.LastImageError().toStdString();
    EXPECT_EQ(QFileInfo(copy).size(), blocks * 2048);
    EXPECT_EQ(primaryVolumeId(copy), QStringLiteral("NEWDISC"));

    const QString byBsdtar = work.filePath(QStringLiteral("bsdtar"));
    ASSERT_TRUE(extractWithBsdtar(copy, byBsdtar));
    EXPECT_EQ(compareTrees(tree, byBsdtar), QStringList());
    const QString byXorriso = work.filePath(QStringLiteral("xorriso"));
    ASSERT_TRUE(extractWithXorriso(copy, byXorriso));
    EXPECT_EQ(compareTrees(tree, byXorriso), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Makers, ImageImport, ::testing::ValuesIn(Masterings),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ImageImportFaults, UnknownDriveOrNoFileSystemRaisesAnError)
{
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("not-an-iso.bin")), patterned(100000, 5));
    writeFile(work.filePath(QStringLiteral("empty.bin")), QByteArray());
    DriveLetters::bind(QLatin1Char('Y'), work.filePath(QStringLiteral("not-an-iso.bin")));
    DriveLetters::bind(QLatin1Char('Z'), work.filePath(QStringLiteral("empty.bin")));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    const char *sources[] = {"W:\\*.*", "Y:\\*.*", "Z:/*.*"};
    for (const char *source : sources) {
        try {
            engine.AddFolder(QStringLiteral("\\"), QString::fromUtf8(source));
            ADD_FAILURE() << source << ": no error";
        } catch (const KestraneError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(source).left(2))) << e.message().toStdString();
        }
    }
    DriveLetters::clear();
    engine.EnumItems(QStringLiteral("\\")); // the image is still usable
}

} // namespace
