// What a write may do to the folder it writes in: sweep only its own leftovers, never replace what is
// not a file, and never take a source that changed since it was added.
#include "ImageTestSupport.h"
#include "engine/NativePath.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageWriter.h"
#include "engine/image/SourceFileStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>

using namespace ImageTest;

namespace {

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// The names in a folder as the system spells them (QDir cannot show a name that is not UTF-8).
QList<QByteArray> nativeEntries(const QString &folder)
{
    QList<QByteArray> names;
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names << QByteArray(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

class WriteSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_source = m_work.filePath(QStringLiteral("src"));
        writeFile(m_source + QStringLiteral("/small.txt"), "small");
        m_target = m_work.filePath(QStringLiteral("target"));
        makeDirs(m_target);
    }
    QString inTarget(const QString &name) const { return m_target + QLatin1Char('/') + name; }
    bool writeTo(const QString &iso)
    {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.AddFile(QStringLiteral("\\small.txt"), m_source + QStringLiteral("/small.txt"));
        const bool ok = engine.WriteImageFile(iso);
        m_lastError = engine.LastImageError();
        return ok;
    }

    QTemporaryDir m_work;
    QString m_source;
    QString m_target;
    QString m_lastError;
};

// A file beside the target that a sweep might take for a dead writer's leftover.
struct SweepRow
{
    const char *name;
    const char *fileName;
    const char *mark; // the extended attribute's value; null: none
    bool heldByALiveWriter;
    bool swept;
};

void PrintTo(const SweepRow &row, std::ostream *os)
{
    *os << row.name;
}

class SweepOfTemporaries : public WriteSafety, public ::testing::WithParamInterface<SweepRow>
{
};

TEST_P(SweepOfTemporaries, OnlyWhatTheWriterProvablyMadeGoes)
{
    const SweepRow &row = GetParam();
    const QString path = inTarget(QString::fromLatin1(row.fileName));
    writeFile(path, "notes of the user");
    // An hour old: no sweep may take it for a file still being made.
    const timeval anHourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(QFile::encodeName(path).constData(), anHourAgo), 0);
    if (row.mark) {
        ASSERT_EQ(::setxattr(QFile::encodeName(path).constData(), "user.kestrane.temporary", row.mark,
                             std::strlen(row.mark), 0),
                  0)
            << "the file system keeps no extended attributes";
    }
    int holder = -1;
    if (row.heldByALiveWriter) {
        holder = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    }

    ASSERT_TRUE(writeTo(inTarget(QStringLiteral("out.iso")))) << m_lastError.toStdString();
    if (holder >= 0)
        ::close(holder);
    EXPECT_EQ(QFileInfo::exists(path), !row.swept);
    if (!row.swept) {
        QFile kept(path);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), QByteArray("notes of the user"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SweepOfTemporaries,
    ::testing::Values(SweepRow {"users_dated_notes", ".notes.20240115.part", nullptr, false, false},
                      SweepRow {"users_file_in_the_old_pattern", ".out.iso.0123abcd.part", nullptr, false,
                                false},
                      SweepRow {"our_name_without_our_mark", ".out.iso.kestrane-0123456789abcdef.part",
                                nullptr, false, false},
                      SweepRow {"our_name_with_another_token", ".out.iso.kestrane-0123456789abcdef.part",
                                "fedcba9876543210", false, false},
                      SweepRow {"mark_on_a_name_not_ours", ".notes.0123456789abcdef.part", "0123456789abcdef",
                                false, false},
                      SweepRow {"ours_held_by_a_live_writer", ".out.iso.kestrane-0123456789abcdef.part",
                                "0123456789abcdef", true, false},
                      SweepRow {"ours_left_by_a_dead_writer", ".out.iso.kestrane-0123456789abcdef.part",
                                "0123456789abcdef", false, true},
                      SweepRow {"ours_for_another_target", ".old.iso.kestrane-00000000000000ff.part",
                                "00000000000000ff", false, true}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

// What stands at the target's name and is not a file is left as it is: the write is refused.
struct TargetRow
{
    const char *name;
    std::function<void(const QString &path)> make;
    const char *reason;
};

void PrintTo(const TargetRow &row, std::ostream *os)
{
    *os << row.name;
}

void makeSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(size_t(native.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
}

const TargetRow TargetRows[] = {
    {"fifo", [](const QString &path) { makeFifo(path); }, "not a regular file"},
    {"socket", [](const QString &path) { makeSocket(path); }, "not a regular file"},
    {"folder", [](const QString &path) { makeDirs(path); }, "is a folder"},
    {"link_to_a_fifo",
     [](const QString &path) {
         makeFifo(path + QStringLiteral(".fifo"));
         makeSymlink(QFileInfo(path).fileName() + QStringLiteral(".fifo"), path);
     },
     "not a regular file"},
    // /dev/null's kind of node; only root may make one.
    {"character_device",
     [](const QString &path) {
         if (::geteuid() != 0)
             GTEST_SKIP() << "making a device node needs root";
         ASSERT_EQ(::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)), 0);
     },
     "not a regular file"},
};

class NonFileTargets : public WriteSafety, public ::testing::WithParamInterface<TargetRow>
{
};

TEST_P(NonFileTargets, AreRefusedAndLeftAsTheyAre)
{
    const TargetRow &row = GetParam();
    const QString target = inTarget(QStringLiteral("out.iso"));
    row.make(target);
    if (::testing::Test::IsSkipped())
        return;
    const QStringList before = entriesOf(m_target);
    struct stat was
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &was), 0);

    EXPECT_FALSE(writeTo(target));
    EXPECT_TRUE(m_lastError.contains(QLatin1String(row.reason))) << m_lastError.toStdString();
    EXPECT_TRUE(m_lastError.contains(target)) << m_lastError.toStdString();
    EXPECT_EQ(entriesOf(m_target), before);
    struct stat now
    {
    };
    ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
    EXPECT_EQ(now.st_mode, was.st_mode);

    // A disc copied block for block goes through the same door.
    WriteControl control;
    bool filled = false;
    const ImageWriter::Result raw = ImageWriter::writeThrough(target, control, [&](int, QString &) {
        filled = true;
        return true;
    });
    EXPECT_FALSE(raw.ok);
    EXPECT_FALSE(filled);
    EXPECT_TRUE(raw.error.contains(QLatin1String(row.reason))) << raw.error.toStdString();
    EXPECT_EQ(entriesOf(m_target), before);
    ASSERT_EQ(::lstat(QFile::encodeName(target).constData(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NonFileTargets, ::testing::ValuesIn(TargetRows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// Each way the file data reaches the image: copied around libisofs, through libisofs, and copied with
// the checksums taken on the way.
struct CopyPath
{
    const char *name;
    bool direct;
    bool checksums;
};

void PrintTo(const CopyPath &path, std::ostream *os)
{
    *os << path.name;
}

class ChangedSources : public WriteSafety, public ::testing::WithParamInterface<CopyPath>
{
protected:
    void TearDown() override { ImageWriter::setDirectCopyAllowed(true); }
};

// A file that grew after it was added would be cut to its old size without a word: it fails the write
// as one that shrank does, and nothing is left under the target's name.
TEST_P(ChangedSources, AFileThatGrewOrShrankFailsTheWriteByName)
{
    ImageWriter::setDirectCopyAllowed(GetParam().direct);
    const QString grown = m_source + QStringLiteral("/grown.bin");
    for (const auto &[change, reason] : {std::pair<qint64, const char *>(4096, "became longer"),
                                         std::pair<qint64, const char *>(-4096, "became shorter")}) {
        SCOPED_TRACE(reason);
        writeFile(grown, patterned(3 << 20, 5));
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.setRecordChecksums(GetParam().checksums);
        engine.AddFile(QStringLiteral("\\small.txt"), m_source + QStringLiteral("/small.txt"));
        engine.AddFile(QStringLiteral("\\grown.bin"), grown);
        ASSERT_TRUE(QFile::resize(grown, (3 << 20) + change));
        const QString iso = inTarget(QStringLiteral("out.iso"));
        EXPECT_FALSE(engine.WriteImageFile(iso));
        EXPECT_TRUE(engine.LastImageError().contains(grown)) << engine.LastImageError().toStdString();
        EXPECT_TRUE(engine.LastImageError().contains(QLatin1String(reason)))
            << engine.LastImageError().toStdString();
        EXPECT_EQ(entriesOf(m_target), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ChangedSources,
                         ::testing::Values(CopyPath {"direct_copy", true, false},
                                           CopyPath {"through_libisofs", false, false},
                                           CopyPath {"with_checksums", true, true}),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// Paths are bytes: a name that is not UTF-8 is read and written under exactly its bytes.
TEST_F(WriteSafety, PathsThatAreNotUtf8KeepTheirBytes)
{
    const QByteArray sourceBytes = QFile::encodeName(m_source) + "/bad\xff.txt";
    const QByteArray isoBytes = QFile::encodeName(m_target) + "/out\xff.iso";
    {
        const int fd = ::open(sourceBytes.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "bytes", 5), 5);
        ::close(fd);
    }
    const QString source = NativePath::decode(sourceBytes);
    const QString iso = NativePath::decode(isoBytes);
    ASSERT_EQ(NativePath::encode(source), sourceBytes);

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFile(QString(), source); // under its own name
    ASSERT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
    struct stat st
    {
    };
    EXPECT_EQ(::stat(isoBytes.constData(), &st), 0);
    EXPECT_EQ(qint64(st.st_size), engine.ImageSizeBlocks() * 2048);
    EXPECT_EQ(nativeEntries(m_target), QList<QByteArray> {QByteArray("out\xff.iso")});

    // The image's own name for it: the byte that is not UTF-8 shows as U+FFFD, as inside folders.
    const QString readable = m_work.filePath(QStringLiteral("readable.iso"));
    ASSERT_EQ(::rename(isoBytes.constData(), QFile::encodeName(readable).constData()), 0);
    const QString extracted = m_work.filePath(QStringLiteral("x"));
    ASSERT_TRUE(extractWithXorriso(readable, extracted));
    const QStringList names = QDir(extracted).entryList(QDir::Files);
    ASSERT_EQ(names.size(), 1) << names.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(names.first(), QStringLiteral("bad\uFFFD.txt"));
}

struct CodecRow
{
    const char *name;
    QByteArray bytes;
    bool raw; // holds a byte that is not UTF-8
};

void PrintTo(const CodecRow &row, std::ostream *os)
{
    *os << row.name;
}

class NativePathCodec : public ::testing::TestWithParam<CodecRow>
{
};

TEST_P(NativePathCodec, DecodeThenEncodeGivesTheSameBytes)
{
    const CodecRow &row = GetParam();
    const QString text = NativePath::decode(row.bytes);
    EXPECT_EQ(NativePath::encode(text), row.bytes);
    EXPECT_EQ(NativePath::hasRawBytes(text), row.raw);
    if (!row.raw) {
        EXPECT_EQ(text, QString::fromUtf8(row.bytes));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, NativePathCodec,
                         ::testing::Values(CodecRow {"ascii", "/home/ann/a.txt", false},
                                           CodecRow {"utf8_two_three_four_bytes",
                                                     "/tmp/\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80", false},
                                           CodecRow {"lone_ff", "out\xff.iso", true},
                                           CodecRow {"latin1_name", "caf\xe9.txt", true},
                                           CodecRow {"cut_sequence_at_the_end", "a\xe6\x97", true},
                                           CodecRow {"overlong_slash",
                                                     "a\xc0\xaf"
                                                     "b",
                                                     true},
                                           CodecRow {"encoded_surrogate", "\xed\xb3\xbf", true},
                                           CodecRow {"past_10ffff", "\xf4\x90\x80\x80", true},
                                           CodecRow {"raw_bytes_beside_a_pair", "\xf0\x9f\x98\x80\xff\x80",
                                                     true}),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace

namespace {

struct NoticeRow
{
    const char *name;
    // Builds sources under `root` and adds them; the engine's notices of the last add are compared.
    std::function<void(TDVDWriterPro2 &engine, const QString &root)> add;
    std::function<QStringList(const QString &root)> expected;
};

void PrintTo(const NoticeRow &row, std::ostream *os)
{
    *os << row.name;
}

class AddNotices : public ::testing::TestWithParam<NoticeRow>
{
};

TEST_P(AddNotices, SayWhatTheAddDidBesideAdding)
{
    QTemporaryDir work;
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    GetParam().add(engine, work.path());
    EXPECT_EQ(engine.LastAddNotices(), GetParam().expected(work.path()));
}

void addContent(TDVDWriterPro2 &engine, const QString &dest, const QString &folder)
{
    engine.AddFolder(dest, folder + QStringLiteral("/*.*"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddNotices,
    ::testing::Values(
        NoticeRow {"nothing_to_tell",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       writeFile(root + QStringLiteral("/a/x.txt"), "x");
                       addContent(engine, QStringLiteral("\\a"), root + QStringLiteral("/a"));
                   },
                   [](const QString &) {
                       return QStringList();
                   }},
        NoticeRow {"one_fifo_inside_a_folder",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       writeFile(root + QStringLiteral("/a/x.txt"), "x");
                       makeFifo(root + QStringLiteral("/a/pipe"));
                       addContent(engine, QStringLiteral("\\a"), root + QStringLiteral("/a"));
                   },
                   [](const QString &root) {
                       return QStringList {
                           root +
                           QStringLiteral("/a/pipe is a FIFO, a socket or a device; it was left out.")};
                   }},
        NoticeRow {"fifos_in_two_levels_named_first_by_path",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       makeDirs(root + QStringLiteral("/a/deeper"));
                       makeFifo(root + QStringLiteral("/a/z-pipe"));
                       makeFifo(root + QStringLiteral("/a/deeper/pipe"));
                       makeFifo(root + QStringLiteral("/a/b-pipe"));
                       addContent(engine, QStringLiteral("\\a"), root + QStringLiteral("/a"));
                   },
                   [](const QString &root) {
                       return QStringList {root +
                                           QStringLiteral("/a/b-pipe and 2 more FIFOs, sockets or devices "
                                                          "were left out.")};
                   }},
        NoticeRow {"two_sources_of_one_name_merge",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       writeFile(root + QStringLiteral("/one/Docs/a.txt"), "a");
                       writeFile(root + QStringLiteral("/two/Docs/b.txt"), "b");
                       addContent(engine, QStringLiteral("\\Docs"), root + QStringLiteral("/one/Docs"));
                       addContent(engine, QStringLiteral("\\Docs"), root + QStringLiteral("/two/Docs"));
                   },
                   [](const QString &root) {
                       return QStringList {root + QStringLiteral("/one/Docs and ") + root +
                                           QStringLiteral("/two/Docs have the same name; their contents were "
                                                          "merged into \\Docs.")};
                   }},
        NoticeRow {"the_same_source_again_is_no_merge",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       writeFile(root + QStringLiteral("/one/Docs/a.txt"), "a");
                       addContent(engine, QStringLiteral("\\Docs"), root + QStringLiteral("/one/Docs"));
                       addContent(engine, QStringLiteral("\\Docs"), root + QStringLiteral("/one/Docs/"));
                   },
                   [](const QString &) {
                       return QStringList();
                   }},
        NoticeRow {"each_add_tells_only_its_own",
                   [](TDVDWriterPro2 &engine, const QString &root) {
                       makeDirs(root + QStringLiteral("/a"));
                       makeFifo(root + QStringLiteral("/a/pipe"));
                       writeFile(root + QStringLiteral("/b/x.txt"), "x");
                       addContent(engine, QStringLiteral("\\a"), root + QStringLiteral("/a"));
                       addContent(engine, QStringLiteral("\\b"), root + QStringLiteral("/b"));
                   },
                   [](const QString &) {
                       return QStringList();
                   }}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace
