// The file data copied into the image around libisofs: the cases it must get right, each image
// compared byte for byte with the one libisofs writes alone and read back by outside readers.
#include "ImageTestSupport.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace ImageTest;

namespace {

struct SourceFile
{
    QString path; // below the source folder
    qint64 size;
};

struct DirectRow
{
    const char *name;
    std::vector<SourceFile> files;
    bool sourceInMemory = false; // on /dev/shm, while the image goes to the disk
    bool mixedAlignment = false; // some files start 4 KiB-aligned in the image and some do not
};

void PrintTo(const DirectRow &row, std::ostream *os)
{
    *os << row.name;
}

const QString LongName =
    QString(200, QLatin1Char('n')) + QStringLiteral(".bin"); // its name needs a continuation area
const QString Deep = QStringLiteral("1/2/3/4/5/6/7/8/9/10/"); // relocated into rr_moved

const DirectRow DirectRows[] = {
    {"empty_file_beside_one_with_data", {{"empty.bin", 0}, {"data.bin", 3000}}},
    {"one_byte", {{"one.bin", 1}}},
    {"exactly_one_block", {{"block.bin", 2048}}},
    {"one_block_and_one_byte", {{"more.bin", 2049}}},
    // Three files of an odd number of blocks each: they cannot all start at the same 4 KiB phase.
    {"unaligned_beside_aligned", {{"a.bin", 3 * 2048}, {"b.bin", 10000}, {"c.bin", 5000}}, false, true},
    {"long_name_and_deep_folder", {{LongName, 70000}, {Deep + QStringLiteral("deep.bin"), 5000}}},
    {"several_megabytes", {{"big.bin", (20 << 20) + 7}, {"small.bin", 100}}},
    {"source_on_another_file_system", {{"a.bin", 2049}, {"sub/b.bin", 9 << 20}, {"c.bin", 0}}, true},
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder for the sources: in memory (/dev/shm) or beside the image on the disk.
std::unique_ptr<QTemporaryDir> sourceFolder(bool inMemory)
{
    if (!inMemory)
        return std::make_unique<QTemporaryDir>();
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        return nullptr;
    return std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/kestrane-test-XXXXXX"));
}

dev_t deviceOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : 0;
}

class ImageDirectCopy : public ::testing::TestWithParam<DirectRow>
{
protected:
    void TearDown() override { ImageWriter::setDirectCopyAllowed(true); }
};

TEST_P(ImageDirectCopy, WritesTheSameImageAsLibisofsAndReadersGetTheFilesBack)
{
    const DirectRow &row = GetParam();
    const auto sources = sourceFolder(row.sourceInMemory);
    if (!sources)
        GTEST_SKIP() << "no /dev/shm";
    QTemporaryDir work;
    const QString source = sources->filePath(QStringLiteral("src"));
    makeDirs(source);
    int seed = 1;
    for (const SourceFile &file : row.files)
        writeFile(source + QLatin1Char('/') + file.path, patterned(file.size, seed++));
    if (row.sourceInMemory) {
        ASSERT_NE(deviceOf(source), deviceOf(work.path()));
    }

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
    const QString directIso = work.filePath(QStringLiteral("direct.iso"));
    const QString throughLibrary = work.filePath(QStringLiteral("library.iso"));
    ASSERT_TRUE(engine.WriteImageFile(directIso)) << engine.LastImageError().toStdString();
    const qint64 direct = ImageWriter::directBytesOfLastWrite();
    EXPECT_GT(direct, 0) << "the file data went through libisofs";
    ImageWriter::setDirectCopyAllowed(false);
    ASSERT_TRUE(engine.WriteImageFile(throughLibrary)) << engine.LastImageError().toStdString();
    EXPECT_EQ(ImageWriter::directBytesOfLastWrite(), 0);

    const QByteArray image = readAll(directIso);
    EXPECT_EQ(image.size(), engine.ImageSizeBlocks() * 2048);
    // The part before the direct copy came from libisofs in both writes (with the time of writing in
    // it); the part after must be the bytes libisofs would have written.
    const QByteArray library = readAll(throughLibrary);
    ASSERT_EQ(library.size(), image.size());
    EXPECT_TRUE(image.right(direct) == library.right(direct)) << "the copied part differs";

    if (row.mixedAlignment) {
        std::set<qint64> alignments;
        for (int i = 0; i < int(row.files.size()); ++i)
            alignments.insert(image.indexOf(patterned(64, i + 1)) % 4096);
        EXPECT_EQ(alignments, (std::set<qint64> {0, 2048}));
    }

    for (const auto &extract : {extractWithBsdtar, extractWithXorriso}) {
        QTemporaryDir out;
        ASSERT_TRUE(extract(directIso, out.filePath(QStringLiteral("x"))));
        EXPECT_EQ(compareTrees(source, out.filePath(QStringLiteral("x"))), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImageDirectCopy, ::testing::ValuesIn(DirectRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// A file cut short while its data is being copied: the write fails naming it, and the old image stays.
TEST(ImageDirectCopyFaults, AFileThatShrinksDuringTheCopyFailsTheWrite)
{
    QTemporaryDir work;
    const QString big = work.filePath(QStringLiteral("src/big.bin"));
    makeDirs(work.filePath(QStringLiteral("src")));
    {
        // Sparse and large, so that the copy lasts several progress reports (one every 50 ms).
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.write(patterned(1 << 20, 3)) == 1 << 20);
        ASSERT_TRUE(file.resize(qint64(768) << 20));
    }
    writeFile(work.filePath(QStringLiteral("src/small.txt")), "small");
    const QString iso = work.filePath(QStringLiteral("target/out.iso"));
    writeFile(iso, "the old image");
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), work.filePath(QStringLiteral("src/*.*")));

    // The report comes from the writing thread: the file is cut before the next step of the copy.
    bool cut = false;
    QObject::connect(
        &engine, &TDVDWriterPro2::OnImageWriteProgress, &engine,
        [&](qint64 written, qint64 total) {
            if (!cut && written >= (16 << 20) && written < total)
                cut = QFile::resize(big, 1000);
        },
        Qt::DirectConnection);
    EXPECT_FALSE(engine.WriteImageFile(iso));
    EXPECT_TRUE(cut);
    EXPECT_GT(ImageWriter::directBytesOfLastWrite(), 0) << "the file was not being copied around libisofs";
    EXPECT_TRUE(engine.LastImageError().contains(big)) << engine.LastImageError().toStdString();
    EXPECT_TRUE(engine.LastImageError().contains(QStringLiteral("shorter")))
        << engine.LastImageError().toStdString();
    EXPECT_EQ(QDir(work.filePath(QStringLiteral("target"))).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("out.iso")}));
    EXPECT_EQ(readAll(iso), QByteArray("the old image"));
}

} // namespace
