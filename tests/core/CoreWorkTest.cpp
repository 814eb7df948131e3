// What the window and the command line share: the one image job, the adding thread and the hop
// back from a pool thread.
#include "TestSupport.h"
#include "core/BackgroundAdd.h"
#include "core/ImageJob.h"
#include "core/OffThread.h"
#include "core/PickedItem.h"
#include "engine/TDVDWriterPro2.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

class ImageJobFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("src/sub"))));
        TestSupport::writeAll(path(QStringLiteral("src/a.txt")), "alpha");
        TestSupport::writeAll(path(QStringLiteral("src/sub/b.txt")), "beta");
    }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    TDVDWriterPro2 m_engine {TDVDWriterPro2::Instance::DVDWriterPro21};
};

TEST_F(ImageJobFixture, PickedItemsBecomeAdditionsUnderTheChosenFolder)
{
    const QList<PickedItem> picked {{path(QStringLiteral("src/sub")), QStringLiteral("sub"), true},
                                    {path(QStringLiteral("src/a.txt")), QStringLiteral("a.txt"), false}};
    const QList<ImageAddition> atRoot = AdditionsOf(picked, QStringLiteral("\\"));
    ASSERT_EQ(atRoot.size(), 2);
    EXPECT_EQ(atRoot[0].destPath, QStringLiteral("\\sub"));
    EXPECT_EQ(atRoot[0].source, path(QStringLiteral("src/sub")) + QStringLiteral("/*.*"));
    EXPECT_TRUE(atRoot[0].folder);
    EXPECT_EQ(atRoot[1].destPath, QStringLiteral("\\a.txt"));
    EXPECT_EQ(atRoot[1].source, path(QStringLiteral("src/a.txt")));
    // An empty folder text is the root too; a folder below it is a prefix.
    EXPECT_EQ(AdditionsOf(picked, QString())[1].destPath, QStringLiteral("\\a.txt"));
    EXPECT_EQ(AdditionsOf(picked, QStringLiteral("\\x"))[0].destPath, QStringLiteral("\\x\\sub"));
}

TEST_F(ImageJobFixture, TheJobWritesFailsOrIsCancelledWithNothingLeftUnderTheName)
{
    for (const ImageAddition &addition :
         AdditionsOf({{path(QStringLiteral("src/sub")), QStringLiteral("sub"), true},
                      {path(QStringLiteral("src/a.txt")), QStringLiteral("a.txt"), false}},
                     QString()))
        AddToImage(m_engine, addition);

    ImageJobParams params;
    params.engine = &m_engine;
    params.label = QStringLiteral("Picked");

    params.isoPath = path(QStringLiteral("out.iso"));
    const ImageJob::Outcome written = ImageJob(params).run();
    EXPECT_EQ(written.status, ImageJob::Status::Written) << qPrintable(written.error);
    EXPECT_EQ(m_engine.VolumeIdentifier(), QStringLiteral("Picked"));
    const QByteArray image = TestSupport::readAll(params.isoPath);
    EXPECT_TRUE(image.contains("alpha") && image.contains("beta"));

    // A folder is no file to write: the engine's words come back, nothing is reported written.
    params.isoPath = path(QStringLiteral("src"));
    const ImageJob::Outcome failed = ImageJob(params).run();
    EXPECT_EQ(failed.status, ImageJob::Status::Failed);
    EXPECT_FALSE(failed.error.isEmpty());

    params.isoPath = path(QStringLiteral("cancelled.iso"));
    ImageJob cancelled(params);
    cancelled.cancel();
    EXPECT_EQ(cancelled.run().status, ImageJob::Status::Cancelled);
    EXPECT_FALSE(QFile::exists(params.isoPath));
}

TEST(DiscImageJob, ADriveThatIsNotThereFailsTheJobRatherThanWritingAnEmptyImage)
{
    QTemporaryDir dir;
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::DiscToImage;
    params.engine = &engine;
    params.sourceDrive = QStringLiteral("Q:");
    params.isoPath = dir.filePath(QStringLiteral("disc.iso"));
    const ImageJob::Outcome outcome = ImageJob(params).run();
    EXPECT_EQ(outcome.status, ImageJob::Status::Failed);
    EXPECT_FALSE(outcome.error.isEmpty());
    EXPECT_FALSE(QFile::exists(params.isoPath));
}

// An owner of work away from the UI thread: it waits for its pool before it goes.
class PoolOwner : public QObject
{
public:
    ~PoolOwner() override { pool.waitForDone(); }
    QThreadPool pool;
};

TEST(OffThread, AnswersReachTheOwnerAndNothingReachesAnOwnerThatHasGone)
{
    int answer = 0;
    {
        PoolOwner owner;
        OffThread(
            owner.pool, &owner, [] { return 42; }, [&answer](int value) { answer = value; });
        ASSERT_TRUE(TestSupport::waitFor([&] { return answer != 0; }, 10000));
    }
    EXPECT_EQ(answer, 42);

    // The work ends and its answer is queued; the owner goes before the event loop runs again.
    bool reached = false;
    {
        PoolOwner owner;
        QSemaphore done;
        OffThread(
            owner.pool, &owner,
            [&done] {
                done.release();
                return 1;
            },
            [&reached](int) { reached = true; });
        done.acquire();
    }
    TestSupport::waitFor([] { return false; }, 200);
    EXPECT_FALSE(reached);
}

TEST(BackgroundAddWork, AStoppedWorkHandsNothingToTheNextOne)
{
    BackgroundAdd adding;
    QSemaphore go;
    std::atomic<bool> reportedLate {false};
    int firstFinished = 0;
    adding.start(
        [&](BackgroundAdd &self) {
            go.acquire();
            self.reportProgress(1, 2);
            reportedLate = true;
        },
        {{},
         {},
         [&](qint64, qint64) { ADD_FAILURE() << "progress of a stopped work"; },
         [&] {
             ++firstFinished;
         }});
    go.release();
    adding.stop(); // waits for the work; its reports are on their way
    EXPECT_TRUE(reportedLate);

    QList<ImageItem> items;
    int secondFinished = 0;
    adding.start([](BackgroundAdd &self) { self.reportItem(ImageItem {}); },
                 {{},
                  [&](const QList<ImageItem> &batch) { items += batch; },
                  {},
                  [&] {
                      ++secondFinished;
                  }});
    ASSERT_TRUE(TestSupport::waitFor([&] { return secondFinished == 1; }, 10000));
    TestSupport::waitFor([] { return false; }, 100);
    EXPECT_EQ(items.size(), 1);
    EXPECT_EQ(firstFinished, 0);
    EXPECT_EQ(secondFinished, 1);
    EXPECT_FALSE(adding.isRunning());
}

} // namespace
