#include "CliRunner.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ImageTest;

namespace {

// Two source folders and a file, each an entry of the image's root: names that readers get wrong,
// more than eight levels, empty folders and files, sizes around the block.
void buildAwkwardSources(const QString &root)
{
    writeFile(root + QStringLiteral("/Photos 2024/Ünïcödé.txt"), "umlauts");
    writeFile(root + QStringLiteral("/Photos 2024/日本語の名前/emoji 😀.bin"), patterned(3000, 1));
    writeFile(root + QStringLiteral("/Photos 2024/") + QString(150, QLatin1Char('n')) +
                  QStringLiteral(".txt"),
              "long");
    writeFile(root + QStringLiteral("/Photos 2024/.hidden"), "h");
    makeDirs(root + QStringLiteral("/Photos 2024/empty folder"));
    QString deep = root + QStringLiteral("/Deep");
    for (int level = 1; level <= 11; ++level) {
        deep += QStringLiteral("/level%1").arg(level);
        writeFile(deep + QStringLiteral("/file%1.txt").arg(level), QByteArray::number(level));
    }
    const qint64 sizes[] = {0, 1, 2047, 2048, 2049, (1 << 20) + 1};
    for (const qint64 size : sizes)
        writeFile(root + QStringLiteral("/Deep/size%1.bin").arg(size), patterned(size, int(size)));
    writeFile(root + QStringLiteral("/notes & plans.txt"), patterned(70000, 9));
}

QStringList rootEntries(const QString &root)
{
    QStringList entries;
    for (const QString &name : QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        entries << root + QLatin1Char('/') + name;
    return entries;
}

qint64 sizeBytesOf(const CliRunner::Result &sized)
{
    return sized.out.split(' ').value(0).toLongLong();
}

struct ReadBackRow
{
    const char *name;
    QStringList options;
};

class CliMakeIso : public ::testing::TestWithParam<ReadBackRow>
{
};

TEST_P(CliMakeIso, AwkwardTreeReadsBackEqualByTwoReaders)
{
    QTemporaryDir work;
    const QString sources = work.filePath(QStringLiteral("sources"));
    buildAwkwardSources(sources);
    const QString iso = work.filePath(QStringLiteral("out.iso"));
    const CliRunner::Result made = CliRunner::run(QStringList {QStringLiteral("make-iso"), iso} +
                                                  rootEntries(sources) + GetParam().options);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(made.outLines(), QStringList {QStringLiteral("ISO File Created successfully!")});

    const QString byBsdtar = work.filePath(QStringLiteral("bsdtar"));
    ASSERT_TRUE(extractWithBsdtar(iso, byBsdtar));
    EXPECT_EQ(compareTrees(sources, byBsdtar), QStringList()) << "bsdtar";
    const QString byXorriso = work.filePath(QStringLiteral("xorriso"));
    ASSERT_TRUE(extractWithXorriso(iso, byXorriso));
    EXPECT_EQ(compareTrees(sources, byXorriso), QStringList()) << "xorriso";
    EXPECT_EQ(primaryVolumeId(iso), QStringLiteral("New Disc"));
}

INSTANTIATE_TEST_SUITE_P(Images, CliMakeIso,
                         ::testing::Values(ReadBackRow {"plain", {}},
                                           ReadBackRow {"with_checksums", {QStringLiteral("--checksums")}}),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// isoinfo and 7z read the Joliet and ISO 9660 trees: an image with checksums must look to them
// exactly as one without.
TEST(CliChecksums, ImageReadsTheSameInIsoinfoAnd7z)
{
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("Data"));
    writeFile(source + QStringLiteral("/Grüße/a.txt"), "a");
    writeFile(source + QStringLiteral("/b.bin"), patterned(300000, 3));
    writeFile(source + QStringLiteral("/empty.txt"), "");
    QStringList listings;
    for (const QString &options : {QString(), QStringLiteral("--checksums")}) {
        const QString iso = work.filePath(QStringLiteral("out%1.iso").arg(listings.size()));
        QStringList args {QStringLiteral("make-iso"), iso, source};
        if (!options.isEmpty())
            args << options;
        ASSERT_EQ(CliRunner::run(args).exitCode, 0);
        const ProcessResult isoinfo =
            run(QStringLiteral("isoinfo"),
                {QStringLiteral("-J"), QStringLiteral("-f"), QStringLiteral("-i"), iso});
        ASSERT_EQ(isoinfo.exitCode, 0);
        listings << QString::fromUtf8(isoinfo.out);
        const QString by7z = work.filePath(QStringLiteral("7z%1").arg(listings.size()));
        ASSERT_TRUE(extractWith7z(iso, by7z));
        EXPECT_EQ(compareTrees(work.filePath(QStringLiteral("Data")), by7z + QStringLiteral("/Data")),
                  QStringList())
            << options.toStdString();
    }
    EXPECT_EQ(listings.at(0), listings.at(1));
    EXPECT_TRUE(listings.at(0).contains(QStringLiteral("/Data/b.bin"))) << listings.at(0).toStdString();
}

struct SizeRow
{
    const char *name;
    QStringList options;
    bool withList;
};

class CliSize : public ::testing::TestWithParam<SizeRow>
{
};

TEST_P(CliSize, EqualsTheWrittenSize)
{
    QTemporaryDir work;
    const QString sources = work.filePath(QStringLiteral("sources"));
    buildAwkwardSources(sources);
    QStringList args = rootEntries(sources);
    if (GetParam().withList) {
        // The list puts one more file into a folder of its own; the sources come on top.
        const QString extra = work.filePath(QStringLiteral("extra.bin"));
        writeFile(extra, patterned(12345, 5));
        const QString list = work.filePath(QStringLiteral("more.mst"));
        writeFile(list, QStringLiteral("filelist\r\n%1|\\From list\\\r\n").arg(extra).toUtf8());
        args << QStringLiteral("--list") << list;
    }
    args << GetParam().options;
    const CliRunner::Result sized = CliRunner::run(QStringList {QStringLiteral("size")} + args);
    ASSERT_EQ(sized.exitCode, 0) << sized.err.toStdString();
    const QStringList words = QString::fromUtf8(sized.out).split(QLatin1Char(' '));
    ASSERT_EQ(words.size(), 4) << sized.out.toStdString();
    EXPECT_EQ(sizeBytesOf(sized), words.at(2).toLongLong() * 2048);

    const QString iso = work.filePath(QStringLiteral("out.iso"));
    const CliRunner::Result made = CliRunner::run(QStringList {QStringLiteral("make-iso"), iso} + args);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_EQ(QFileInfo(iso).size(), sizeBytesOf(sized));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CliSize,
    ::testing::Values(SizeRow {"plain", {}, false},
                      SizeRow {"with_checksums", {QStringLiteral("--checksums")}, false},
                      SizeRow {"list_and_checksums", {QStringLiteral("--checksums")}, true},
                      SizeRow {"label", {QStringLiteral("--label"), QStringLiteral("Backup 7")}, true}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(CliSize, ChecksumsTakeRoomOfTheirOwn)
{
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("d/a.txt")), "a");
    const qint64 plain =
        sizeBytesOf(CliRunner::run({QStringLiteral("size"), work.filePath(QStringLiteral("d"))}));
    const qint64 recorded = sizeBytesOf(CliRunner::run(
        {QStringLiteral("size"), work.filePath(QStringLiteral("d")), QStringLiteral("--checksums")}));
    EXPECT_GT(plain, 0);
    EXPECT_GT(recorded, plain);
}

enum class Damage { None, OneFileByte, FolderByte };

struct VerifyRow
{
    const char *name;
    bool checksums;
    Damage damage;
    int exitCode;
    QStringList damaged; // the "damaged:" lines expected, in order
    QString summary; // the last line
};

class CliVerifyImage : public ::testing::TestWithParam<VerifyRow>
{
};

TEST_P(CliVerifyImage, ChecksAgainstTheRecordedChecksums)
{
    const VerifyRow &row = GetParam();
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("Docs"));
    const QByteArray target = patterned(50000, 42);
    writeFile(source + QStringLiteral("/letters/to be changed.bin"), target);
    writeFile(source + QStringLiteral("/letters/left alone.bin"), patterned(50000, 43));
    writeFile(source + QStringLiteral("/empty"), "");
    writeFile(source + QStringLiteral("/small.txt"), "small");
    const QString iso = work.filePath(QStringLiteral("docs.iso"));
    QStringList args {QStringLiteral("make-iso"), iso, source, QStringLiteral("--quiet")};
    if (row.checksums)
        args << QStringLiteral("--checksums");
    ASSERT_EQ(CliRunner::run(args).exitCode, 0);

    QByteArray bytes = TestSupport::readAll(iso);
    if (row.damage == Damage::OneFileByte) {
        const qsizetype at = bytes.indexOf(target);
        ASSERT_GT(at, 0);
        bytes[at + 30000] = char(bytes[at + 30000] ^ 0x01);
    } else if (row.damage == Damage::FolderByte) {
        // A byte of the first Joliet name: the folders change, no file does.
        const qsizetype at = bytes.indexOf(QByteArray("\0l\0e\0t\0t\0e\0r\0s", 14));
        ASSERT_GT(at, 0);
        bytes[at + 1] = 'L';
    }
    const QString checked = work.filePath(QStringLiteral("checked.iso"));
    TestSupport::writeAll(checked, bytes);

    const CliRunner::Result verified =
        CliRunner::run({QStringLiteral("verify"), checked, QStringLiteral("--quiet")});
    EXPECT_EQ(verified.exitCode, row.exitCode) << verified.err.toStdString();
    QStringList damagedLines = verified.outLines().filter(QStringLiteral("damaged: "));
    EXPECT_EQ(damagedLines, row.damaged);
    if (row.exitCode == 4) {
        EXPECT_EQ(verified.errLines().size(), 1);
        EXPECT_TRUE(verified.out.isEmpty());
    } else {
        EXPECT_EQ(verified.outLines().last(), row.summary);
    }
}

const VerifyRow VerifyRows[] = {
    {"fresh_image", true, Damage::None, 0, {}, QStringLiteral("4 files checked, none damaged.")},
    {"one_byte_of_one_file",
     true,
     Damage::OneFileByte,
     3,
     {QStringLiteral("damaged: /Docs/letters/to be changed.bin")},
     QStringLiteral("4 files checked, 1 damaged.")},
    // The area outside the files is named, but not counted as a file.
    {"a_folder_byte",
     true,
     Damage::FolderByte,
     3,
     {QStringLiteral("damaged: (outside the files: the folders, descriptors or padding)")},
     QStringLiteral("4 files checked, none damaged, and damage outside the files.")},
    {"no_checksums_recorded", false, Damage::None, 4, {}, QString()},
};

INSTANTIATE_TEST_SUITE_P(Images, CliVerifyImage, ::testing::ValuesIn(VerifyRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// An image cut short behind an intact volume descriptor is damaged, not unreadable: the check says
// where it ends and fails with the damage status.
TEST(CliVerifyCutImage, AnImageCutToTwoThirdsIsDamage)
{
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("Docs"));
    writeFile(source + QStringLiteral("/letters/a.bin"), patterned(50000, 1));
    writeFile(source + QStringLiteral("/letters/b.bin"), patterned(50000, 2));
    writeFile(source + QStringLiteral("/small.txt"), "small");
    const QString iso = work.filePath(QStringLiteral("docs.iso"));
    ASSERT_EQ(CliRunner::run({QStringLiteral("make-iso"), iso, source, QStringLiteral("--checksums"),
                              QStringLiteral("--quiet")})
                  .exitCode,
              0);
    const QByteArray bytes = TestSupport::readAll(iso);
    const QString cut = work.filePath(QStringLiteral("cut.iso"));
    TestSupport::writeAll(cut, bytes.left(bytes.size() * 2 / 3));

    const CliRunner::Result verified =
        CliRunner::run({QStringLiteral("verify"), cut, QStringLiteral("--quiet")});
    EXPECT_EQ(verified.exitCode, 3) << verified.err.toStdString();
    const QStringList lines = verified.outLines();
    ASSERT_EQ(lines.size(), 2) << verified.out.toStdString();
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("damaged: (the folders: it ends after ")))
        << lines.first().toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("0 files checked, none damaged, and damage outside the files."));
}

// libisofs's own tools read what make-iso --checksums records.
TEST(CliChecksums, XorrisoFindsTheSessionAndEveryFileIntact)
{
    QTemporaryDir work;
    const QString sources = work.filePath(QStringLiteral("sources"));
    buildAwkwardSources(sources);
    const QString iso = work.filePath(QStringLiteral("out.iso"));
    ASSERT_EQ(CliRunner::run(QStringList {QStringLiteral("make-iso"), iso, QStringLiteral("--checksums")} +
                             rootEntries(sources))
                  .exitCode,
              0);
    const ProcessResult session =
        run(QStringLiteral("xorriso"),
            {QStringLiteral("-md5"), QStringLiteral("on"), QStringLiteral("-indev"), iso,
             QStringLiteral("-check_md5"), QStringLiteral("FAILURE"), QStringLiteral("--")});
    EXPECT_EQ(session.exitCode, 0);
    EXPECT_TRUE((session.out + session.err).contains("Ok, session data match recorded md5"))
        << session.err.toStdString();
    const ProcessResult files = run(QStringLiteral("xorriso"),
                                    {QStringLiteral("-md5"), QStringLiteral("on"), QStringLiteral("-indev"),
                                     iso, QStringLiteral("-check_md5_r"), QStringLiteral("FAILURE"),
                                     QStringLiteral("/"), QStringLiteral("--")});
    EXPECT_EQ(files.exitCode, 0);
    EXPECT_TRUE((files.out + files.err).contains("File contents and their MD5 checksums match"))
        << files.err.toStdString();
}

} // namespace
