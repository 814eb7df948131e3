// The file data copied into the image around libisofs: the cases it must get right, each image
// compared byte for byte with the one libisofs writes alone and read back by outside readers.
#include "ImageTestSupport.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/DiscDataSource.h"
#include "engine/image/ImageWriter.h"

#include <cstdint>
#include <libisofs/libisofs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
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

QByteArray md5Of(const QByteArray &bytes)
{
    void *context = nullptr;
    iso_md5_start(&context);
    iso_md5_compute(context, const_cast<char *>(bytes.constData()), int(bytes.size()));
    char sum[16];
    iso_md5_end(&context, sum);
    return QByteArray(sum, 16);
}

struct Recorded
{
    std::map<QString, QByteArray> files; // path → recorded MD5
    uint32_t sessionEnd = 0;
    QByteArray session;
};

// What libisofs's own loader reads back of the recorded checksums.
Recorded loadChecksums(const QString &iso)
{
    Recorded recorded;
    EXPECT_TRUE(EngineLibraries::ensureIsoInit());
    std::lock_guard lock(EngineLibraries::isoLock());
    IsoImage *image = nullptr;
    EXPECT_GE(DiscDataSource::importImage(QFile::encodeName(iso), &image, nullptr, true), 0);
    if (!image)
        return recorded;
    std::function<void(IsoDir *, const QString &)> walk = [&](IsoDir *dir, const QString &path) {
        IsoDirIter *iter = nullptr;
        iso_dir_get_children(dir, &iter);
        IsoNode *node = nullptr;
        while (iso_dir_iter_next(iter, &node) == 1) {
            const QString child = path + QLatin1Char('/') + QString::fromUtf8(iso_node_get_name(node));
            if (iso_node_get_type(node) == LIBISO_DIR) {
                walk(reinterpret_cast<IsoDir *>(node), child);
            } else if (iso_node_get_type(node) == LIBISO_FILE) {
                char sum[16];
                if (iso_file_get_md5(image, reinterpret_cast<IsoFile *>(node), sum, 0) == 1)
                    recorded.files[child] = QByteArray(sum, 16);
            }
        }
        iso_dir_iter_free(iter);
    };
    walk(iso_image_get_root(image), QString());
    uint32_t start = 0;
    char session[16];
    if (iso_image_get_session_md5(image, &start, &recorded.sessionEnd, session, 0) == 1)
        recorded.session = QByteArray(session, 16);
    iso_image_unref(image);
    return recorded;
}

class ImageDirectCopyChecksums : public ImageDirectCopy
{
};

// With checksums the copy also takes every file's MD5 and the session's and writes the array and the
// session tag: what libisofs's loader and tag reader find must be what libisofs itself records.
TEST_P(ImageDirectCopyChecksums, RecordsTheChecksumsLibisofsWould)
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

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.setRecordChecksums(true);
    engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
    const QString directIso = work.filePath(QStringLiteral("direct.iso"));
    const QString throughLibrary = work.filePath(QStringLiteral("library.iso"));
    ASSERT_TRUE(engine.WriteImageFile(directIso)) << engine.LastImageError().toStdString();
    const qint64 direct = ImageWriter::directBytesOfLastWrite();
    EXPECT_GT(direct, 0) << "the file data went through libisofs";
    ImageWriter::setDirectCopyAllowed(false);
    ASSERT_TRUE(engine.WriteImageFile(throughLibrary)) << engine.LastImageError().toStdString();

    const QByteArray image = readAll(directIso);
    const QByteArray library = readAll(throughLibrary);
    EXPECT_EQ(image.size(), engine.ImageSizeBlocks() * 2048);
    ASSERT_EQ(library.size(), image.size());

    const Recorded ours = loadChecksums(directIso);
    const Recorded theirs = loadChecksums(throughLibrary);
    EXPECT_EQ(ours.files, theirs.files);
    EXPECT_EQ(ours.files.size(), row.files.size());
    ASSERT_EQ(ours.sessionEnd, theirs.sessionEnd);
    EXPECT_EQ(ours.session, md5Of(image.left(qsizetype(ours.sessionEnd) * 2048)));
    // The file data between libisofs's part and the array: the bytes libisofs writes.
    const qsizetype dataStart = image.size() - direct;
    const qsizetype dataBytes = qsizetype(ours.sessionEnd) * 2048 - dataStart;
    EXPECT_TRUE(image.mid(dataStart, dataBytes) == library.mid(dataStart, dataBytes));

    // The session tag in the last block covers everything before it, and itself.
    QByteArray tag = image.right(2048);
    int type = 0;
    uint32_t pos = 0, rangeStart = 0, rangeSize = 0, next = 0;
    char sum[16];
    ASSERT_EQ(iso_util_decode_md5_tag(tag.data(), &type, &pos, &rangeStart, &rangeSize, &next, sum, 1), 1);
    EXPECT_EQ(qsizetype(pos) * 2048, image.size() - 2048);
    EXPECT_EQ(rangeStart, 0u);
    EXPECT_EQ(rangeSize, pos);
    EXPECT_EQ(QByteArray(sum, 16), md5Of(image.left(qsizetype(pos) * 2048)));

    const ImageCheck check = engine.VerifyImageChecksums(directIso);
    EXPECT_EQ(check.outcome, ImageCheck::Outcome::Intact)
        << check.damaged.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(check.filesChecked, int(row.files.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, ImageDirectCopyChecksums, ::testing::ValuesIn(DirectRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// A file cut short while its data is being copied (with checksums too): the write fails naming it,
// and the old image stays.
class ImageDirectCopyFaults : public ::testing::TestWithParam<bool>
{
};

TEST_P(ImageDirectCopyFaults, AFileThatShrinksDuringTheCopyFailsTheWrite)
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
    engine.setRecordChecksums(GetParam());
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

INSTANTIATE_TEST_SUITE_P(Copies, ImageDirectCopyFaults, ::testing::Values(false, true),
                         [](const auto &testInfo) { return testInfo.param ? "with_checksums" : "plain"; });

} // namespace
