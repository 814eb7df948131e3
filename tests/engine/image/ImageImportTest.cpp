// Disc to image: the file system of a "disc" (an ISO file bound to a drive letter) becomes the image.
#include "DamagedDiscs.h"
#include "ImageTestSupport.h"
#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <memory>

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
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

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

struct JobOutcome
{
    bool written = false;
    QString error;
    qint64 ms = 0;
};

// The two engine calls of a disc-to-image job, on a thread of their own so that a hang fails the test
// instead of stopping the run. `whileRunning` is called on the test's thread until the job ends.
JobOutcome runDiscJob(TDVDWriterPro2 &engine, const QString &isoPath,
                      const std::function<void()> &whileRunning = {})
{
    JobOutcome outcome;
    std::unique_ptr<QThread> job(QThread::create([&] {
        try {
            engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));
            outcome.written = engine.WriteImageFile(isoPath);
            outcome.error = engine.LastImageError();
        } catch (const KestraneError &e) {
            outcome.error = e.message();
        }
    }));
    QElapsedTimer timer;
    timer.start();
    job->start();
    const QDeadlineTimer deadline(30000);
    while (!job->wait(QDeadlineTimer(whileRunning ? 1 : 30000)) && !deadline.hasExpired()) {
        if (whileRunning)
            whileRunning();
    }
    if (!job->isFinished()) {
        engine.CancelImageWrite();
        const bool stopped = job->wait(QDeadlineTimer(10000));
        ADD_FAILURE() << "the job did not end within 30 s" << (stopped ? "; cancel stopped it" : "");
        if (!stopped)
            std::abort(); // the thread still uses the engine on this stack
    }
    outcome.ms = timer.elapsed();
    return outcome;
}

QStringList leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("copy.iso"), QStringLiteral(".copy.iso.*")},
                                  QDir::Files | QDir::Hidden);
}

class DamagedDisc : public ::testing::TestWithParam<DamagedDiscs::Row>
{
protected:
    void TearDown() override { DriveLetters::clear(); }
};

TEST_P(DamagedDisc, EndsInAnErrorAndWritesNoImage)
{
    QTemporaryDir work;
    const QString discFolder = work.filePath(QStringLiteral("disc"));
    QDir().mkpath(discFolder);
    const QString disc = DamagedDiscs::make(GetParam().damage, discFolder);
    ASSERT_FALSE(disc.isEmpty());
    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);

    const JobOutcome outcome = runDiscJob(engine, work.filePath(QStringLiteral("copy.iso")));
    std::cout << "[ figure ] " << GetParam().name << ": the job ended after " << outcome.ms << " ms\n";
    EXPECT_FALSE(outcome.written);
    EXPECT_TRUE(outcome.error.startsWith(QString::fromUtf8(GetParam().reason)))
        << outcome.error.toStdString();
    EXPECT_EQ(leftovers(work.path()), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedDisc, ::testing::ValuesIn(DamagedDiscs::Rows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

TEST(ImageImportCancel, CancelStopsTheReadingOfALargeDisc)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    for (int folder = 0; folder < 400; ++folder) {
        for (int file = 0; file < 50; ++file)
            writeFile(tree + QStringLiteral("/d%1/f%2.txt").arg(folder).arg(file), "x");
    }
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    const ProcessResult made =
        run(QStringLiteral("genisoimage"),
            {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-o"), disc, tree});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);

    // Asked again and again from the start: the first request that lands while the disc is read ends it.
    const JobOutcome outcome =
        runDiscJob(engine, work.filePath(QStringLiteral("copy.iso")), [&] { engine.CancelImageWrite(); });
    DriveLetters::clear();
    EXPECT_FALSE(outcome.written);
    EXPECT_EQ(outcome.error, QStringLiteral("Reading the disc in drive X: was cancelled."));
    EXPECT_EQ(leftovers(work.path()), QStringList());

    // The engine reads the next disc as usual.
    DriveLetters::bind(QLatin1Char('X'), disc);
    engine.ResetImage();
    const JobOutcome again = runDiscJob(engine, work.filePath(QStringLiteral("copy.iso")));
    DriveLetters::clear();
    EXPECT_TRUE(again.written) << again.error.toStdString();
}

} // namespace
