// Faults while adding and writing: what is left on disk and what the engine answers.
#include "ImageTestSupport.h"
#include "base/KestraneError.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/image/ImageWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace ImageTest;

namespace {

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

class ImageFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_source = m_work.filePath(QStringLiteral("src"));
        writeFile(m_source + QStringLiteral("/small.txt"), "small");
        writeFile(m_source + QStringLiteral("/sub/big.bin"), patterned(6 << 20, 9));
        m_target = m_work.filePath(QStringLiteral("target"));
        makeDirs(m_target);
        writeFile(m_target + QStringLiteral("/out.iso"), "the old image");
    }
    // The target folder holds the untouched old image and nothing else.
    void expectTargetUntouched()
    {
        EXPECT_EQ(entriesOf(m_target), QStringList({QStringLiteral("out.iso")}));
        QFile old(m_target + QStringLiteral("/out.iso"));
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("the old image"));
    }
    QString iso() const { return m_target + QStringLiteral("/out.iso"); }

    QTemporaryDir m_work;
    QString m_source;
    QString m_target;
};

TEST_F(ImageFaults, ReadOnlyTargetFolderFailsAndKeepsTheOldFile)
{
    openForOthers(m_source + QStringLiteral("/sub"));
    ASSERT_EQ(::chmod(QFile::encodeName(m_target).constData(), 0555), 0);
    const QString target = iso();
    const QString source = m_source;
    const int code = runAsNobody([&] {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
        if (engine.WriteImageFile(target))
            return 1;
        return engine.LastImageError().contains(QStringLiteral("Permission denied")) ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    expectTargetUntouched();
}

TEST_F(ImageFaults, FileSizeLimitMidWriteFailsAndKeepsTheOldFile)
{
    const QString target = iso();
    const QString source = m_source;
    const int code = runInChild([&] {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.AddFolder(QStringLiteral("\\"), source + QStringLiteral("/*.*"));
        const rlimit limit {2 << 20, 2 << 20};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        if (engine.WriteImageFile(target))
            return 1;
        return engine.LastImageError().contains(QStringLiteral("too large")) ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    expectTargetUntouched();
}

struct SourceFault
{
    const char *name;
    std::function<void(const QString &file)> apply;
};

const SourceFault SourceFaults[] = {
    {"deleted",
     [](const QString &file) {
         ASSERT_TRUE(QFile::remove(file));
     }},
    {"shrunk",
     [](const QString &file) {
         ASSERT_TRUE(QFile::resize(file, 1000));
     }},
    {"grown",
     [](const QString &file) {
         ASSERT_TRUE(QFile::resize(file, (6 << 20) + 1));
     }},
    {"replaced_by_a_fifo",
     [](const QString &file) {
         ASSERT_TRUE(QFile::remove(file));
         makeFifo(file);
     }},
};

class ImageSourceFaults : public ImageFaults, public ::testing::WithParamInterface<SourceFault>
{
};

TEST_P(ImageSourceFaults, WriteFailsLeavesNothingAndTheEngineWritesAgainLater)
{
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), m_source + QStringLiteral("/*.*"));
    const QString big = m_source + QStringLiteral("/sub/big.bin");
    GetParam().apply(big);
    EXPECT_FALSE(engine.WriteImageFile(iso()));
    EXPECT_TRUE(engine.LastImageError().contains(big)) << engine.LastImageError().toStdString();
    expectTargetUntouched();

    QFile::remove(big);
    writeFile(big, patterned(6 << 20, 9));
    ASSERT_TRUE(engine.WriteImageFile(iso())) << engine.LastImageError().toStdString();
    EXPECT_EQ(QFileInfo(iso()).size(), engine.ImageSizeBlocks() * 2048);
    EXPECT_EQ(entriesOf(m_target), QStringList({QStringLiteral("out.iso")}));
}

INSTANTIATE_TEST_SUITE_P(Faults, ImageSourceFaults, ::testing::ValuesIn(SourceFaults),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST_F(ImageFaults, UnreadableEntriesAreSkippedAndNamedOnce)
{
    writeFile(m_source + QStringLiteral("/a-secret.txt"), "secret");
    writeFile(m_source + QStringLiteral("/locked/inside.txt"), "inside");
    ASSERT_EQ(::chmod(QFile::encodeName(m_source + QStringLiteral("/a-secret.txt")).constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_source + QStringLiteral("/locked")).constData(), 0700), 0);
    openForOthers(m_source + QStringLiteral("/sub"));
    const QString source = m_source;
    const int code = runAsNobody([&] {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        EventLog log(engine);
        try {
            engine.AddFolder(QStringLiteral("\\Data"), source + QStringLiteral("/*.*"));
            return 1;
        } catch (const KestraneError &e) {
            if (!e.message().contains(source + QStringLiteral("/a-secret.txt")) ||
                !e.message().contains(QLatin1Char('2')))
                return 2;
        }
        const QStringList expected {QStringLiteral("\\Data"), QStringLiteral("\\Data\\small.txt"),
                                    QStringLiteral("\\Data\\sub"), QStringLiteral("\\Data\\sub\\big.bin")};
        return log.addedPaths() == expected ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(ImageFaults, SymlinkLoopsAndFifosDoNotStopAnAdd)
{
    makeSymlink(QStringLiteral("."), m_source + QStringLiteral("/loop"));
    makeSymlink(QStringLiteral("b"), m_source + QStringLiteral("/a"));
    makeSymlink(QStringLiteral("a"), m_source + QStringLiteral("/b"));
    makeSymlink(QStringLiteral(".."), m_source + QStringLiteral("/sub/up"));
    makeFifo(m_source + QStringLiteral("/sub/fifo"));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    EventLog log(engine);
    engine.AddFolder(QStringLiteral("\\"), m_source + QStringLiteral("/*.*"));
    EXPECT_FALSE(log.addedPaths().contains(QStringLiteral("\\sub\\fifo")));
    ASSERT_TRUE(engine.WriteImageFile(iso()));
    const QString extracted = m_work.filePath(QStringLiteral("x"));
    ASSERT_TRUE(extractWithXorriso(iso(), extracted));
    EXPECT_EQ(compareTrees(m_source, extracted), QStringList());
}

} // namespace

// A null character would cut the C string short: "small.txt\0.secret" must not add "small.txt", and
// "out.iso\0x" must not overwrite "out.iso".
TEST_F(ImageFaults, PathsWithANullCharacterAreRefusedNotCutShort)
{
    const QString nul(QChar(0));
    const QString small = m_source + QStringLiteral("/small.txt");
    struct Row
    {
        const char *name;
        std::function<void(TDVDWriterPro2 &)> call;
    };
    const Row rows[] = {
        {"AddFile source",
         [&](TDVDWriterPro2 &e) {
             e.AddFile(QStringLiteral("\\a.txt"), small + nul + "x");
         }},
        {"AddFile dest",
         [&](TDVDWriterPro2 &e) {
             e.AddFile(QStringLiteral("\\a.txt") + nul + "x", small);
         }},
        {"AddFolder entry",
         [&](TDVDWriterPro2 &e) {
             e.AddFolder(QStringLiteral("\\In\\"), small + nul);
         }},
        {"AddFolder content",
         [&](TDVDWriterPro2 &e) {
             e.AddFolder(QStringLiteral("\\"), m_source + nul + "/*.*");
         }},
        {"AddFolder dest",
         [&](TDVDWriterPro2 &e) {
             e.AddFolder(QStringLiteral("\\In") + nul, small);
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        EventLog log(engine);
        EXPECT_THROW(row.call(engine), KestraneError);
        EXPECT_TRUE(log.addedPaths().isEmpty());
    }

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFile(QStringLiteral("\\a.txt"), small);
    EXPECT_FALSE(engine.WriteImageFile(iso() + nul + "x"));
    EXPECT_TRUE(engine.LastImageError().contains(QStringLiteral("null character")));
    expectTargetUntouched();
}

// Both ways the writer keeps its temporary file: unnamed where the file system allows, named elsewhere.
class ImageTemporaries : public ImageFaults, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        ImageFaults::SetUp();
        ImageWriter::setUnnamedTemporaryAllowed(GetParam());
    }
    void TearDown() override { ImageWriter::setUnnamedTemporaryAllowed(true); }
};

TEST_P(ImageTemporaries, AWriterKilledMidWriteLeavesNothingAfterTheNextWrite)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
        engine.AddFolder(QStringLiteral("\\"), m_source + QStringLiteral("/*.*"));
        // With data written, before the file gets its name, the writer says so and waits to be killed.
        QObject::connect(&engine, &TDVDWriterPro2::OnImageWriteProgress, [&](qint64 done, qint64) {
            if (done > 0) {
                (void)!::write(ready[1], "k", 1);
                for (;;)
                    ::pause();
            }
        });
        engine.WriteImageFile(iso());
        ::_exit(3);
    }
    ::close(ready[1]);
    pollfd waitFor {ready[0], POLLIN, 0};
    char said = 0;
    const bool midWrite = ::poll(&waitFor, 1, 60000) == 1 && ::read(ready[0], &said, 1) == 1;
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ASSERT_TRUE(midWrite) << "the writer never reached the middle of its image";
    // Only a named temporary file can outlive its writer.
    const QStringList afterKill = entriesOf(m_target);
    EXPECT_EQ(afterKill.size(), GetParam() ? 1 : 2) << afterKill.join(QLatin1Char(' ')).toStdString();
    QFile old(iso());
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the old image"));

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFile(QStringLiteral("\\small.txt"), m_source + QStringLiteral("/small.txt"));
    ASSERT_TRUE(engine.WriteImageFile(m_target + QStringLiteral("/next.iso")))
        << engine.LastImageError().toStdString();
    EXPECT_EQ(entriesOf(m_target), QStringList({QStringLiteral("next.iso"), QStringLiteral("out.iso")}));
}

TEST_P(ImageTemporaries, LongNamesAndSymbolicLinksAreWrittenAtTheirPlace)
{
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFile(QStringLiteral("\\small.txt"), m_source + QStringLiteral("/small.txt"));
    const qint64 imageBytes = engine.ImageSizeBlocks() * 2048;
    const QString longName =
        m_target + QLatin1Char('/') + QString(246, QLatin1Char('n')) + QStringLiteral(".iso");
    makeSymlink(QStringLiteral("out.iso"), m_target + QStringLiteral("/link.iso"));
    makeSymlink(QStringLiteral("later.iso"), m_target + QStringLiteral("/dangling.iso"));

    // A new 250-byte name, then the same name again over the file it now names; then two links.
    for (const QString &target : {longName, longName, m_target + QStringLiteral("/link.iso"),
                                  m_target + QStringLiteral("/dangling.iso")}) {
        ASSERT_TRUE(engine.WriteImageFile(target))
            << target.toStdString() << ": " << engine.LastImageError().toStdString();
    }
    EXPECT_EQ(QFileInfo(longName).size(), imageBytes);
    EXPECT_TRUE(QFileInfo(m_target + QStringLiteral("/link.iso")).isSymLink());
    EXPECT_EQ(QFileInfo(m_target + QStringLiteral("/out.iso")).size(), imageBytes);
    EXPECT_TRUE(QFileInfo(m_target + QStringLiteral("/dangling.iso")).isSymLink());
    EXPECT_EQ(QFileInfo(m_target + QStringLiteral("/later.iso")).size(), imageBytes);
    EXPECT_EQ(entriesOf(m_target).size(), 5) << entriesOf(m_target).join(QLatin1Char(' ')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Kinds, ImageTemporaries, ::testing::Bool(), [](const auto &testInfo) {
    return std::string(testInfo.param ? "unnamed" : "named");
});
