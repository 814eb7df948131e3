// Images written by the engine, read back by outside readers and compared with their sources.
#include "ImageTestSupport.h"
#include "engine/TDVDWriterPro2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <unistd.h>

using namespace ImageTest;

namespace {

struct TreeRow
{
    const char *name;
    std::function<void(const QString &root)> build;
};

void buildUnicode(const QString &root)
{
    writeFile(root + QStringLiteral("/Ünïcödé.txt"), "umlauts");
    writeFile(root + QStringLiteral("/日本語の名前.txt"), "japanese");
    writeFile(root + QStringLiteral("/Grüße/emoji 😀.bin"), patterned(3000, 1));
}

void buildLongNames(const QString &root)
{
    writeFile(root + QLatin1Char('/') + QString(196, QLatin1Char('n')) + QStringLiteral(".txt"), "200 bytes");
    writeFile(root + QLatin1Char('/') + QString(100, QChar(0xe9)), "200 bytes of UTF-8");
    makeDirs(root + QLatin1Char('/') + QString(150, QLatin1Char('d')));
}

void buildDeep(const QString &root)
{
    QString path = root;
    for (int level = 1; level <= 12; ++level) {
        path += QStringLiteral("/level%1").arg(level);
        writeFile(path + QStringLiteral("/file%1.txt").arg(level), QByteArray::number(level));
    }
}

void buildEmptyFolders(const QString &root)
{
    makeDirs(root + QStringLiteral("/empty"));
    makeDirs(root + QStringLiteral("/a/b/empty too"));
    writeFile(root + QStringLiteral("/a/file.txt"), "x");
}

void buildSymlinks(const QString &root)
{
    writeFile(root + QStringLiteral("/target.txt"), "target");
    makeDirs(root + QStringLiteral("/folder"));
    makeSymlink(QStringLiteral("target.txt"), root + QStringLiteral("/to-file"));
    makeSymlink(QStringLiteral("../folder"), root + QStringLiteral("/folder/to-folder"));
    makeSymlink(QStringLiteral("/nowhere/at/all"), root + QStringLiteral("/dangling"));
}

void buildHidden(const QString &root)
{
    writeFile(root + QStringLiteral("/.hidden"), "h");
    writeFile(root + QStringLiteral("/.config/.inner"), "i");
    writeFile(root + QStringLiteral("/visible"), "v");
}

void buildSizes(const QString &root)
{
    const qint64 sizes[] = {0, 1, 2047, 2048, 2049, (1 << 20) + 1, 3 * (1 << 20)};
    for (const qint64 size : sizes)
        writeFile(root + QStringLiteral("/size%1.bin").arg(size), patterned(size, static_cast<int>(size)));
}

// Enough entries that folders and path tables span several blocks.
void buildMany(const QString &root)
{
    for (int folder = 0; folder < 12; ++folder) {
        for (int file = 0; file < 40; ++file)
            writeFile(
                root +
                    QStringLiteral("/folder %1/a rather long file name number %2.txt").arg(folder).arg(file),
                QByteArray::number(folder * 100 + file));
    }
}

void buildEverything(const QString &root)
{
    buildUnicode(root + QStringLiteral("/unicode"));
    buildLongNames(root + QStringLiteral("/long"));
    buildDeep(root + QStringLiteral("/deep"));
    buildEmptyFolders(root + QStringLiteral("/empty"));
    buildSymlinks(root + QStringLiteral("/links"));
    buildHidden(root + QStringLiteral("/hidden"));
    buildSizes(root + QStringLiteral("/sizes"));
}

const TreeRow TreeRows[] = {
    {"unicode_names", buildUnicode},  {"name_of_200_bytes", buildLongNames},
    {"twelve_levels", buildDeep},     {"empty_folders", buildEmptyFolders},
    {"symlinks", buildSymlinks},      {"hidden_entries", buildHidden},
    {"block_boundaries", buildSizes}, {"many_entries", buildMany},
};

class ImageRoundTrip : public ::testing::TestWithParam<TreeRow>
{
};

TEST_P(ImageRoundTrip, TwoReadersExtractTheSourceTree)
{
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source"));
    makeDirs(source);
    GetParam().build(source);

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
    const int64_t blocks = engine.ImageSizeBlocks();
    const QString iso = work.filePath(QStringLiteral("out.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
    EXPECT_EQ(QFileInfo(iso).size(), blocks * 2048);

    const QString byBsdtar = work.filePath(QStringLiteral("bsdtar"));
    ASSERT_TRUE(extractWithBsdtar(iso, byBsdtar));
    EXPECT_EQ(compareTrees(source, byBsdtar), QStringList()) << "bsdtar";
    const QString byXorriso = work.filePath(QStringLiteral("xorriso"));
    ASSERT_TRUE(extractWithXorriso(iso, byXorriso));
    EXPECT_EQ(compareTrees(source, byXorriso), QStringList()) << "xorriso";
}

INSTANTIATE_TEST_SUITE_P(Trees, ImageRoundTrip, ::testing::ValuesIn(TreeRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

struct OptionRow
{
    const char *name;
    int level;
    int volumeType;
    bool versionDelimiters;
};

const OptionRow OptionRows[] = {
    {"level1_joliet", 1, 1, true},
    {"level2_joliet", 2, 1, true},
    {"level3_joliet", 3, 1, true},
    {"level1_plain", 1, 0, true},
    {"level2_plain", 2, 0, true},
    {"level3_plain", 3, 0, true},
    {"level1_joliet_no_versions", 1, 1, false},
    {"level2_plain_no_versions", 2, 0, false},
    {"level3_joliet_no_versions", 3, 1, false},
};

class ImageSizeExact : public ::testing::TestWithParam<OptionRow>
{
};

TEST_P(ImageSizeExact, SizeBlocksTimesBlockSizeIsTheWrittenSize)
{
    const OptionRow &row = GetParam();
    QTemporaryDir work;
    const QString everything = work.filePath(QStringLiteral("everything"));
    buildEverything(everything);
    const QString many = work.filePath(QStringLiteral("many"));
    buildMany(many);

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.setISOComplianceLevel(row.level);
    engine.setVolumeType(row.volumeType);
    engine.setUseVersionDelimiters(row.versionDelimiters);
    const QString trees[] = {everything, many};
    int step = 0;
    for (const QString &tree : trees) {
        engine.AddFolder(QStringLiteral("\\") + QFileInfo(tree).fileName(), tree + QStringLiteral("/*.*"));
        const int64_t blocks = engine.ImageSizeBlocks();
        const QString iso = work.filePath(QStringLiteral("out%1.iso").arg(step++));
        ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
        EXPECT_EQ(QFileInfo(iso).size(), blocks * 2048) << "after adding " << tree.toStdString();
    }
    // After a removal the size is computed again, not taken from the cache.
    ASSERT_TRUE(engine.RemoveItem(QStringLiteral("\\everything\\sizes")));
    const int64_t blocks = engine.ImageSizeBlocks();
    const QString iso = work.filePath(QStringLiteral("removed.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso));
    EXPECT_EQ(QFileInfo(iso).size(), blocks * 2048);
}

INSTANTIATE_TEST_SUITE_P(Options, ImageSizeExact, ::testing::ValuesIn(OptionRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// The size is laid out from a copy of the tree, away from the lock: names that collide at level 1
// (and only by case), with and without checksums, must still give the written size, and a size
// computed while another thread adds and removes must be the size of the tree it was asked for.
TEST(ImageSize, LaidOutFromACopyWhileTheTreeChanges)
{
    QTemporaryDir work;
    const QString clash = work.filePath(QStringLiteral("clash"));
    for (int n = 0; n < 300; ++n)
        writeFile(clash + QStringLiteral("/file_%1.txt").arg(n, 5, 10, QLatin1Char('0')),
                  QByteArray::number(n));
    writeFile(clash + QStringLiteral("/FILE_00001.TXT"), "upper");
    writeFile(clash + QStringLiteral("/File_00001.Txt"), "mixed");
    writeFile(clash + QStringLiteral("/same"), "");
    const QString other = work.filePath(QStringLiteral("other"));
    for (int n = 0; n < 200; ++n)
        writeFile(other + QStringLiteral("/o%1.bin").arg(n), QByteArray(3000, 'o'));

    for (const bool checksums : {false, true}) {
        SCOPED_TRACE(checksums ? "with checksums" : "without checksums");
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.setISOComplianceLevel(1);
        engine.setRecordChecksums(checksums);
        engine.AddFolder(QStringLiteral("\\clash"), clash + QStringLiteral("/*.*"));
        engine.AddFile(QStringLiteral("\\again.txt"), clash + QStringLiteral("/file_00007.txt"));
        const int64_t before = engine.ImageSizeBlocks();

        // Another thread sizes the image over and over while this one changes it.
        std::atomic<bool> stop {false};
        std::atomic<int> computed {0};
        std::thread sizer([&] {
            while (!stop.load()) {
                const TDVDWriterPro2::ImageSize size = engine.ImageSizeOf(engine.ImageSizeOptions());
                if (size.blocks > 0)
                    ++computed;
            }
        });
        for (int round = 0; round < 3; ++round) {
            engine.AddFolder(QStringLiteral("\\other"), other + QStringLiteral("/*.*"));
            ASSERT_TRUE(engine.RemoveItem(QStringLiteral("\\other")));
        }
        while (computed.load() < 2)
            std::this_thread::yield();
        stop = true;
        sizer.join();
        EXPECT_EQ(engine.ImageSizeBlocks(), before);

        const QString iso = work.filePath(QStringLiteral("clash%1.iso").arg(checksums));
        ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
        EXPECT_EQ(QFileInfo(iso).size(), before * 2048);
    }
}

TEST(ImageSize, FollowsEveryChangeOfImageAndOptions)
{
    QTemporaryDir work;
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    EXPECT_EQ(TDVDWriterPro2::BlocksToBytes(engine.ImageSizeBlocks(), 1) > 0, true);
    const int64_t empty = engine.ImageSizeBlocks();
    writeFile(work.filePath(QStringLiteral("a.bin")), patterned(100 * 2048, 3));
    engine.AddFile(QStringLiteral("\\a.bin"), work.filePath(QStringLiteral("a.bin")));
    const int64_t withFile = engine.ImageSizeBlocks();
    EXPECT_EQ(withFile - empty, 100);
    // Another option set is sized afresh: the figure matches what is written with it.
    engine.setVolumeType(0);
    engine.setISOComplianceLevel(3);
    const int64_t plain = engine.ImageSizeBlocks();
    const QString iso = work.filePath(QStringLiteral("plain.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso));
    EXPECT_EQ(QFileInfo(iso).size(), plain * 2048);
    engine.setVolumeType(1);
    engine.setISOComplianceLevel(1);
    EXPECT_EQ(engine.ImageSizeBlocks(), withFile);
    EXPECT_TRUE(engine.RemoveItem(QStringLiteral("\\a.bin")));
    EXPECT_EQ(engine.ImageSizeBlocks(), empty);
    engine.AddFile(QStringLiteral("\\a.bin"), work.filePath(QStringLiteral("a.bin")));
    engine.ResetImage();
    EXPECT_EQ(engine.ImageSizeBlocks(), empty);
    EXPECT_DOUBLE_EQ(TDVDWriterPro2::BlocksToBytes(3, 1), 6144.0);
}

TEST(ImageLabel, VisibleInPrimaryAndJolietDescriptors)
{
    QTemporaryDir work;
    const char *labels[] = {"New Disc", "NEW DISC", "Backup 2024"};
    for (const char *label : labels) {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.setVolumeIdentifier(QString::fromUtf8(label));
        const QString iso = work.filePath(QStringLiteral("label.iso"));
        ASSERT_TRUE(engine.WriteImageFile(iso));
        EXPECT_EQ(primaryVolumeId(iso), QString::fromUtf8(label));
        EXPECT_EQ(jolietVolumeId(iso), QString::fromUtf8(label));
        const ProcessResult info =
            run(QStringLiteral("isoinfo"), {QStringLiteral("-d"), QStringLiteral("-i"), iso});
        EXPECT_TRUE(info.out.contains(QByteArray("Volume id: ") + label)) << info.out.toStdString();
    }
    TDVDWriterPro2 plain(TDVDWriterPro2::Instance::DVDWriterPro21);
    plain.setVolumeType(0);
    const QString iso = work.filePath(QStringLiteral("plain.iso"));
    ASSERT_TRUE(plain.WriteImageFile(iso));
    EXPECT_EQ(primaryVolumeId(iso), QStringLiteral("NEW DISC"));
    EXPECT_EQ(jolietVolumeId(iso), QString());
}

TEST(ImageNames, JolietShortensWhatRockRidgeKeepsWhole)
{
    QTemporaryDir work;
    const QString longName = QString(180, QLatin1Char('x')) + QStringLiteral(".txt");
    writeFile(work.filePath(QStringLiteral("src/") + longName), "long");
    writeFile(work.filePath(QStringLiteral("src/back\\slash.txt")), "slash");
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), work.filePath(QStringLiteral("src/*.*")));
    const QString iso = work.filePath(QStringLiteral("names.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso));

    const ProcessResult joliet = run(QStringLiteral("isoinfo"),
                                     {QStringLiteral("-J"), QStringLiteral("-f"), QStringLiteral("-i"), iso});
    const QStringList jolietNames =
        QString::fromUtf8(joliet.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    bool shortened = false;
    for (const QString &path : jolietNames) {
        const QString name = path.section(QLatin1Char('/'), -1);
        if (name.startsWith(QStringLiteral("xxxx"))) {
            shortened = name.size() < longName.size() && name.endsWith(QStringLiteral(".txt"));
        }
    }
    EXPECT_TRUE(shortened) << joliet.out.toStdString();

    const QString extracted = work.filePath(QStringLiteral("x"));
    ASSERT_TRUE(extractWithBsdtar(iso, extracted));
    EXPECT_TRUE(QFileInfo::exists(extracted + QLatin1Char('/') + longName));
    // A "\" in a Linux name would break the engine's path notation: the image holds "_" instead.
    EXPECT_EQ(compareTrees(work.filePath(QStringLiteral("src")), extracted,
                           [](const QString &name) {
                               return QString(name).replace(QLatin1Char('\\'), QLatin1Char('_'));
                           }),
              QStringList());
}

// A sparse 4.5 GiB file: the image is written at level 3 although level 1 is set, and both readers
// give the file back whole. Its own CTest entry (label big-image): it writes 4.5 GB.
TEST(ImageBigFile, SparseFileOf4p5GiBRaisesTheLevel)
{
    QTemporaryDir work;
    const qint64 size = 4831838208; // 4.5 GiB
    const QString source = work.filePath(QStringLiteral("src"));
    makeDirs(source);
    const QString big = source + QStringLiteral("/big.bin");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.write(patterned(4096, 7)) == 4096);
        ASSERT_TRUE(file.seek((qint64(4) << 30) - 100000)); // across the 4 GiB extent boundary
        ASSERT_EQ(file.write(patterned(200000, 8)), 200000);
        ASSERT_TRUE(file.resize(size));
        ASSERT_TRUE(file.seek(size - 5));
        ASSERT_EQ(file.write("tail!"), 5);
    }
    writeFile(source + QStringLiteral("/small.txt"), "small");

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    ASSERT_EQ(engine.ISOComplianceLevel(), 1);
    engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
    const int64_t blocks = engine.ImageSizeBlocks();
    const QString iso = work.filePath(QStringLiteral("big.iso"));
    ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
    EXPECT_EQ(QFileInfo(iso).size(), blocks * 2048);

    // Each reader streams the file out; compared with the source without extracting 4.5 GB twice.
    auto streamed = [&](const QString &program, const QStringList &args) {
        QProcess process;
        process.start(program, args);
        QFile original(big);
        if (!original.open(QIODevice::ReadOnly))
            return false;
        qint64 compared = 0;
        bool same = true;
        while (same && compared < size) {
            if (process.bytesAvailable() == 0 && !process.waitForReadyRead(60000))
                break;
            const QByteArray chunk = process.read(4 << 20);
            same = original.read(chunk.size()) == chunk;
            compared += chunk.size();
        }
        process.kill();
        process.waitForFinished(5000);
        return same && compared == size;
    };
    EXPECT_TRUE(streamed(QStringLiteral("bsdtar"), {QStringLiteral("-xOf"), iso, QStringLiteral("big.bin")}));
    EXPECT_TRUE(streamed(QStringLiteral("7z"),
                         {QStringLiteral("x"), QStringLiteral("-so"), iso, QStringLiteral("big.bin")}));
    QFile::remove(iso);
}

} // namespace
