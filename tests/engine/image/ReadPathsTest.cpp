// Every path that reads a disc's folders (copying it, checking its checksums, comparing it with an
// image, reading a burn back) over the same hostile discs: each ends by itself, soon, in bounded memory,
// and says what is wrong.
#include "DamagedDiscs.h"
#include "ImageTestSupport.h"
#include "base/KestraneError.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/BurnVerifier.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

namespace {

using DamagedDiscs::Verdict;

// Safety bounds against a hang or a blow-up, far above what a refusal takes.
constexpr int BoundSeconds = 10;
constexpr qint64 BoundKiB = 200 * 1024;

enum class ReadPath { CopyDisc, Checksums, Against, BurnVerify };

const char *nameOf(ReadPath path)
{
    switch (path) {
    case ReadPath::CopyDisc:
        return "CopyDisc";
    case ReadPath::Checksums:
        return "Checksums";
    case ReadPath::Against:
        return "Against";
    case ReadPath::BurnVerify:
        return "BurnVerify";
    }
    return "";
}

// Calls `expire` once `seconds` have passed, unless it is destroyed first.
class Watchdog final
{
public:
    Watchdog(int seconds, std::function<void()> expire)
        : m_thread([this, seconds, expire = std::move(expire)] {
            std::unique_lock lock(m_mutex);
            if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; }))
                expire();
        })
    { }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The peak resident size starts again from the current one.
void resetPeak()
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

struct Seen
{
    Verdict verdict = Verdict::Refused;
    QString said;
};

QString lines(const ImageCheck &check)
{
    QStringList all = check.damaged;
    all << check.damagedAreas;
    for (const ImageCheck::Unchecked &file : check.unchecked)
        all << QStringLiteral("not checked: %1 (%2)").arg(file.path, file.why);
    return all.join(QLatin1Char('\n'));
}

Seen seenOf(const ImageCheck &check)
{
    switch (check.outcome) {
    case ImageCheck::Outcome::Damaged:
        return {Verdict::Damaged, lines(check)};
    case ImageCheck::Outcome::NoChecksums:
        return {Verdict::NoChecksums, QStringLiteral("records no checksums")};
    case ImageCheck::Outcome::Failed:
        return {Verdict::Refused, check.error};
    case ImageCheck::Outcome::Intact:
        return {Verdict::Intact, QStringLiteral("intact")};
    case ImageCheck::Outcome::Cancelled:
        return {Verdict::Refused, QStringLiteral("(cancelled)")};
    }
    return {};
}

class HostileDisc : public ::testing::TestWithParam<std::tuple<DamagedDiscs::Row, ReadPath>>
{
protected:
    void TearDown() override { DriveLetters::clear(); }

    Seen read(ReadPath path, const QString &disc, const QString &copy)
    {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
        std::atomic<bool> stopBurnVerify {false};
        const Watchdog watchdog(BoundSeconds, [&] {
            engine.CancelImageWrite();
            engine.CancelImageCheck();
            stopBurnVerify = true;
        });
        switch (path) {
        case ReadPath::CopyDisc:
            try {
                engine.AddFolder(QStringLiteral("\\"), QStringLiteral("X:\\*.*"));
                if (engine.WriteImageFile(copy))
                    return {Verdict::Intact, QStringLiteral("(copied)")};
                return {Verdict::Refused, engine.LastImageError()};
            } catch (const KestraneError &e) {
                return {Verdict::Refused, e.message()};
            }
        case ReadPath::Checksums:
            return seenOf(engine.VerifyImageChecksums(QStringLiteral("X:")));
        case ReadPath::Against:
            return seenOf(engine.CompareDiscWithImage(QStringLiteral("X"), disc));
        case ReadPath::BurnVerify: {
            const Drives::VerifyResult result = Drives::verifyBurn(disc, disc, 0, stopBurnVerify);
            if (!result.error.isEmpty())
                return {Verdict::Refused, result.error};
            return {result.filesMatched == result.filesCompared ? Verdict::Intact : Verdict::Damaged,
                    QStringLiteral("%1 of %2 files differ from the image")
                        .arg(result.filesCompared - result.filesMatched)
                        .arg(result.filesCompared)};
        }
        }
        return {};
    }
};

TEST_P(HostileDisc, EndsSoonInBoundedMemoryAndSaysWhy)
{
    const auto &[row, path] = GetParam();
    QTemporaryDir work;
    const QString discFolder = work.filePath(QStringLiteral("disc"));
    QDir().mkpath(discFolder);
    const QString disc = DamagedDiscs::make(row.damage, discFolder);
    ASSERT_FALSE(disc.isEmpty());
    DriveLetters::bind(QLatin1Char('X'), disc);
    const QString copy = work.filePath(QStringLiteral("copy.iso"));

    resetPeak();
    const qint64 residentBefore = statusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const Seen seen = read(path, disc, copy);
    const qint64 ms = timer.elapsed();
    const qint64 grownKiB = statusKiB("VmHWM:") - residentBefore;
    std::cout << "[ figure ] " << row.name << " / " << nameOf(path) << ": " << ms << " ms, peak +" << grownKiB
              << " KiB\n";

    EXPECT_LT(ms, BoundSeconds * 1000) << "stopped only by the watchdog";
    EXPECT_LT(grownKiB, BoundKiB);
    EXPECT_FALSE(QFile::exists(copy));
    if (path == ReadPath::CopyDisc) {
        EXPECT_EQ(seen.verdict, Verdict::Refused) << seen.said.toStdString();
        EXPECT_TRUE(seen.said.startsWith(QString::fromUtf8(row.reason))) << seen.said.toStdString();
        return;
    }
    const DamagedDiscs::PathExpectation &expected = path == ReadPath::Checksums ? row.checksums
        : path == ReadPath::Against                                             ? row.against
                                                                                : row.burnVerify;
    EXPECT_EQ(seen.verdict, expected.verdict) << seen.said.toStdString();
    EXPECT_TRUE(seen.said.contains(QString::fromUtf8(expected.said))) << seen.said.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Discs, HostileDisc,
                         ::testing::Combine(::testing::ValuesIn(DamagedDiscs::Rows),
                                            ::testing::Values(ReadPath::CopyDisc, ReadPath::Checksums,
                                                              ReadPath::Against, ReadPath::BurnVerify)),
                         [](const auto &testInfo) {
                             return std::string(std::get<0>(testInfo.param).name) + "_" +
                                 nameOf(std::get<1>(testInfo.param));
                         });

// A cancel asked while a check loads a large disc's folders ends the loading: the disc records no
// checksums, so a check that got past the loading would answer that instead.
TEST(ReadPathCancel, CancelStopsTheLoadingOfTheFolders)
{
    QTemporaryDir work;
    const QString tree = work.filePath(QStringLiteral("tree"));
    for (int folder = 0; folder < 400; ++folder) {
        for (int file = 0; file < 50; ++file)
            ImageTest::writeFile(tree + QStringLiteral("/d%1/f%2.txt").arg(folder).arg(file), "x");
    }
    const QString disc = work.filePath(QStringLiteral("disc.iso"));
    const ImageTest::ProcessResult made =
        ImageTest::run(QStringLiteral("genisoimage"),
                       {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-o"), disc, tree});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    DriveLetters::bind(QLatin1Char('X'), disc);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);

    // Asked again and again from the start: the first request that lands while the folders load ends it.
    std::atomic<bool> checking {true};
    std::thread canceller([&] {
        while (checking.load())
            engine.CancelImageCheck();
    });
    const ImageCheck check = engine.VerifyImageChecksums(QStringLiteral("X:"));
    checking = false;
    canceller.join();
    EXPECT_EQ(check.outcome, ImageCheck::Outcome::Cancelled) << check.error.toStdString();

    // The engine checks the disc as usual afterwards.
    EXPECT_EQ(engine.VerifyImageChecksums(QStringLiteral("X:")).outcome, ImageCheck::Outcome::NoChecksums);
    DriveLetters::clear();
}

} // namespace
