// The engine on worker threads: signals reach the user-interface thread queued and in order, a
// cancel from another thread stops a write, and engines on several threads share libisofs safely.
#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace ImageTest;

namespace {

// Runs `work` on a QThread; answers the finished thread (joined) or nullptr after the time-out.
bool runOnWorker(const std::function<void()> &work, int timeoutMs)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    const bool finished = TestSupport::waitFor([&] { return thread->isFinished(); }, timeoutMs);
    if (!finished)
        thread->wait(); // never leave it running into the next test
    return finished;
}

TEST(ImageThreads, WorkerWriteDeliversProgressOnTheUiThreadInOrder)
{
    QTemporaryDir work;
    writeFile(work.filePath(QStringLiteral("src/data.bin")), patterned(24 << 20, 2));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), work.filePath(QStringLiteral("src/*.*")));
    const qint64 expected = engine.ImageSizeBlocks() * 2048;

    QObject receiver;
    QList<QPair<qint64, qint64>> progress;
    bool offThread = false;
    QObject::connect(&engine, &TDVDWriterPro2::OnImageWriteProgress, &receiver,
                     [&](qint64 written, qint64 total) {
                         offThread |= QThread::currentThread() != receiver.thread();
                         progress.append({written, total});
                     });
    bool ok = false;
    const QString iso = work.filePath(QStringLiteral("out.iso"));
    ASSERT_TRUE(runOnWorker([&] { ok = engine.WriteImageFile(iso); }, 60000));
    EXPECT_TRUE(ok);
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return !progress.isEmpty() && progress.last().first == expected; }, 5000));
    EXPECT_FALSE(offThread);
    for (qsizetype i = 1; i < progress.size(); ++i)
        EXPECT_LE(progress.at(i - 1).first, progress.at(i).first);
    EXPECT_EQ(progress.first().first, 0);
    EXPECT_EQ(progress.last().second, expected);
    EXPECT_EQ(QFileInfo(iso).size(), expected);
}

TEST(ImageThreads, CancelAtHalfStopsTheWriteAndLeavesTheOldFile)
{
    QTemporaryDir work;
    const QString big = work.filePath(QStringLiteral("src/sparse.bin"));
    makeDirs(work.filePath(QStringLiteral("src")));
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(768) << 20));
    }
    const QString target = work.filePath(QStringLiteral("target"));
    writeFile(target + QStringLiteral("/out.iso"), "the old image");
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    engine.AddFolder(QStringLiteral("\\"), work.filePath(QStringLiteral("src/*.*")));

    std::atomic<qint64> written {0};
    std::atomic<qint64> total {0};
    QObject::connect(
        &engine, &TDVDWriterPro2::OnImageWriteProgress, &engine,
        [&](qint64 w, qint64 t) {
            written = w;
            total = t;
        },
        Qt::DirectConnection);
    std::atomic<bool> finished {false};
    bool ok = true;
    std::thread worker([&] {
        ok = engine.WriteImageFile(target + QStringLiteral("/out.iso"));
        finished = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!finished && (total == 0 || written < total / 2) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(finished.load()) << "the write ended before it could be cancelled";
    QElapsedTimer stopping;
    stopping.start();
    engine.CancelImageWrite();
    while (!finished && stopping.elapsed() < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const qint64 latencyMs = stopping.elapsed();
    worker.join();
    ::testing::Test::RecordProperty("cancel_latency_ms", static_cast<int>(latencyMs));
    EXPECT_LT(latencyMs, 1000); // a bound on the wait; the figure itself is recorded above
    EXPECT_FALSE(ok);
    EXPECT_TRUE(engine.LastImageError().contains(QStringLiteral("cancelled")));
    EXPECT_EQ(QDir(target).entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("out.iso")}));
    QFile old(target + QStringLiteral("/out.iso"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("the old image"));

    // The same instance writes the next job normally, and a cancel between jobs changes nothing.
    engine.CancelImageWrite();
    ASSERT_TRUE(engine.RemoveItem(QStringLiteral("\\sparse.bin")));
    writeFile(work.filePath(QStringLiteral("src/small.txt")), "small");
    engine.AddFile(QStringLiteral("\\small.txt"), work.filePath(QStringLiteral("src/small.txt")));
    EXPECT_TRUE(engine.WriteImageFile(target + QStringLiteral("/out.iso")));
    EXPECT_EQ(QFileInfo(target + QStringLiteral("/out.iso")).size(), engine.ImageSizeBlocks() * 2048);
}

TEST(ImageThreads, ImportOnAWorkerReportsEveryItemOnTheUiThreadInOrder)
{
    QTemporaryDir work;
    for (int i = 0; i < 5; ++i)
        writeFile(work.filePath(QStringLiteral("tree/f%1/sub/file%1.txt").arg(i)), QByteArray::number(i));
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    const ProcessResult made =
        run(QStringLiteral("xorriso"),
            {QStringLiteral("-as"), QStringLiteral("mkisofs"), QStringLiteral("-quiet"), QStringLiteral("-R"),
             QStringLiteral("-o"), disc, work.filePath(QStringLiteral("tree"))});
    ASSERT_EQ(made.exitCode, 0);
    DriveLetters::bind(QLatin1Char('Q'), disc);

    TDVDWriterPro2 direct(TDVDWriterPro2::Instance::DVDWriterPro);
    EventLog directLog(direct);
    direct.AddFolder(QStringLiteral("\\"), QStringLiteral("Q:\\*.*"));

    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    EventLog log(engine);
    ASSERT_TRUE(
        runOnWorker([&] { engine.AddFolder(QStringLiteral("\\"), QStringLiteral("Q:\\*.*")); }, 60000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return log.added.size() == directLog.added.size(); }, 5000));
    EXPECT_EQ(log.addedPaths(), directLog.addedPaths());
    DriveLetters::clear();
}

TEST(ImageThreads, EnginesOnSeveralThreadsShareTheLibrarySafely)
{
    QTemporaryDir work;
    for (int i = 0; i < 60; ++i)
        writeFile(work.filePath(QStringLiteral("src/d%1/f%2.bin").arg(i % 6).arg(i)),
                  patterned(40000 + i, i));
    const QString source = work.filePath(QStringLiteral("src/*.*"));
    TDVDWriterPro2 first(TDVDWriterPro2::Instance::DVDWriterPro21);
    TDVDWriterPro2 second(TDVDWriterPro2::Instance::DVDWriterPro);
    first.AddFolder(QStringLiteral("\\"), source);
    second.AddFolder(QStringLiteral("\\"), source);
    bool firstOk = false;
    bool secondOk = false;
    std::thread a([&] {
        for (int round = 0; round < 3 && (round == 0 || firstOk); ++round)
            firstOk = first.WriteImageFile(work.filePath(QStringLiteral("first.iso")));
    });
    std::thread b([&] {
        for (int round = 0; round < 3 && (round == 0 || secondOk); ++round)
            secondOk = second.WriteImageFile(work.filePath(QStringLiteral("second.iso")));
    });
    // Meanwhile this thread keeps building and sizing a third image.
    TDVDWriterPro2 third(TDVDWriterPro2::Instance::DVDWriterPro21);
    for (int round = 0; round < 5; ++round) {
        third.AddFolder(QStringLiteral("\\R%1").arg(round), source);
        EXPECT_GT(third.ImageSizeBlocks(), 0);
        EXPECT_TRUE(third.RemoveItem(QStringLiteral("\\R%1\\d0").arg(round)));
    }
    a.join();
    b.join();
    EXPECT_TRUE(firstOk);
    EXPECT_TRUE(secondOk);
    EXPECT_EQ(QFileInfo(work.filePath(QStringLiteral("first.iso"))).size(), first.ImageSizeBlocks() * 2048);
    EXPECT_EQ(QFileInfo(work.filePath(QStringLiteral("second.iso"))).size(), second.ImageSizeBlocks() * 2048);
}

} // namespace
