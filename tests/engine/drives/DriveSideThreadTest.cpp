// The drive side of an engine belongs to one thread: a drive call from any other ends the program,
// and the calls a window makes through its drive thread reach the drives and answer back.
#include "EngineEvents.h"
#include "TestSupport.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/DriveLayer.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

namespace {

struct DriveCall
{
    const char *name;
    std::function<void(TDVDWriterPro2 &)> call;
};

void PrintTo(const DriveCall &call, std::ostream *out)
{
    *out << call.name;
}

class DriveSideWrongThread : public ::testing::TestWithParam<DriveCall>
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// The engine is made here and nobody adopted its drive side: it belongs to this thread.
TEST_P(DriveSideWrongThread, ACallFromAnotherThreadIsRefusedNamingTheCall)
{
    const DriveCall &call = GetParam();
    EXPECT_DEATH(
        {
            TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
            std::thread other([&] { call.call(engine); });
            other.join();
        },
        std::string("TDVDWriterPro2::") + call.name + " was called on a thread other than its drive side's");
}

// Once a drive thread adopted the engine, the thread that made it may no longer make drive calls.
TEST_P(DriveSideWrongThread, ACallFromTheWindowThreadOfAnAdoptedEngineIsRefused)
{
    const DriveCall &call = GetParam();
    EXPECT_DEATH(
        {
            TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
            DriveThread drives;
            drives.adopt({&engine});
            call.call(engine);
        },
        std::string("TDVDWriterPro2::") + call.name + " was called on a thread other than its drive side's");
}

const DriveCall DriveCalls[] = {
    {"InitializeDrives",
     [](TDVDWriterPro2 &e) {
         e.InitializeDrives(0);
     }},
    {"DriveCount",
     [](TDVDWriterPro2 &e) {
         e.DriveCount();
     }},
    {"DriveLetter",
     [](TDVDWriterPro2 &e) {
         e.DriveLetter(0);
     }},
    {"SelectDrive",
     [](TDVDWriterPro2 &e) {
         e.SelectDrive(0);
     }},
    {"DiscType",
     [](TDVDWriterPro2 &e) {
         e.DiscType();
     }},
    {"FreeBlocks",
     [](TDVDWriterPro2 &e) {
         e.FreeBlocks();
     }},
    {"BurnImageFile",
     [](TDVDWriterPro2 &e) {
         e.BurnImageFile(QString());
     }},
    {"LastBurnRefusal",
     [](TDVDWriterPro2 &e) {
         e.LastBurnRefusal();
     }},
    {"CancelWrite",
     [](TDVDWriterPro2 &e) {
         e.CancelWrite();
     }},
    {"EjectTray",
     [](TDVDWriterPro2 &e) {
         e.EjectTray(0);
     }},
    {"EraseDisc",
     [](TDVDWriterPro2 &e) {
         e.EraseDisc(true);
     }},
    {"DataOnDisc",
     [](TDVDWriterPro2 &e) {
         e.DataOnDisc();
     }},
    {"CurrentDrive",
     [](TDVDWriterPro2 &e) {
         e.CurrentDrive();
     }},
    {"StickDetails",
     [](TDVDWriterPro2 &e) {
         e.StickDetails(0);
     }},
    {"RefreshSticks",
     [](TDVDWriterPro2 &e) {
         e.RefreshSticks();
     }},
};

INSTANTIATE_TEST_SUITE_P(Calls, DriveSideWrongThread, ::testing::ValuesIn(DriveCalls),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

class AdoptedEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        TDVDWriterPro2::setDriveLayer(nullptr);
        qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(m_dir.filePath(QStringLiteral("disc.iso"))));
    }
    void TearDown() override { qunsetenv("KESTRANE_VIRTUAL_DRIVES"); }

    // Asks `work` of the drive thread and waits for its answer here.
    template<typename Work>
    auto onDrives(DriveThread &drives, Work work)
    {
        std::optional<std::optional<std::invoke_result_t<Work &>>> answer;
        drives.ask(&m_receiver, std::move(work), [&answer](auto result) { answer = std::move(result); });
        EXPECT_TRUE(TestSupport::waitFor([&answer] { return answer.has_value(); }, 30000));
        return answer.value_or(std::nullopt);
    }

    // A small image the engine writes itself.
    QString makeImage(TDVDWriterPro2 &engine)
    {
        const QString source = m_dir.filePath(QStringLiteral("a.txt"));
        TestSupport::writeAll(source, QByteArray(200 * 1024, 'a'));
        engine.AddFile(QStringLiteral("\\a.txt"), source);
        const QString iso = m_dir.filePath(QStringLiteral("image.iso"));
        EXPECT_TRUE(engine.WriteImageFile(iso)) << engine.LastImageError().toStdString();
        return iso;
    }

    QTemporaryDir m_dir;
    QObject m_receiver;
};

TEST_F(AdoptedEngine, CallsThroughTheDriveThreadRunThereAndTheBurnsEventsComeBackWithTheReadBack)
{
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    EngineEvents events(engine);
    const QString iso = makeImage(engine); // the image side stays callable on this thread
    {
        DriveThread drives;
        drives.adopt({&engine});
        TDVDWriterPro2 *e = &engine;
        const std::optional<int> count = onDrives(drives, [e] {
            e->InitializeDrives(0);
            return e->DriveCount();
        });
        ASSERT_TRUE(count.has_value());
        ASSERT_GE(*count, 1);
        const std::optional<bool> started = onDrives(drives, [e, iso, last = *count - 1] {
            e->setAutoVerify(true);
            return e->SelectDrive(last) && e->BurnImageFile(iso);
        });
        ASSERT_EQ(started, true);
        ASSERT_TRUE(events.waitForEnd());
        EXPECT_EQ(events.kinds, (QStringList {QStringLiteral("verify 1/1"), QStringLiteral("complete")}));
        EXPECT_TRUE(events.allOnOwnerThread) << "the events reach receivers on their own thread";
        EXPECT_EQ(onDrives(drives, [e] { return e->LastVerifyError(); }), QString());
    }
    // The drive thread has ended: the drive side is back on the thread that made the engine.
    EXPECT_GE(engine.DriveCount(), 1);
    EXPECT_EQ(engine.CurrentDrive(), engine.DriveCount() - 1);
}

TEST_F(AdoptedEngine, AnEngineMayGoBeforeTheDriveThreadThatAdoptedIt)
{
    DriveThread drives;
    auto engine = std::make_unique<TDVDWriterPro2>(TDVDWriterPro2::Instance::DVDWriterPro);
    TDVDWriterPro2 stays(TDVDWriterPro2::Instance::DVDWriterPro1);
    drives.adopt({engine.get(), &stays});
    TDVDWriterPro2 *gone = engine.get();
    EXPECT_EQ(onDrives(drives, [gone] { return gone->InitializeDrives(0); }), true);
    engine.reset();
    TDVDWriterPro2 *e = &stays;
    EXPECT_EQ(onDrives(drives, [e] { return e->DriveCount() >= 1; }), true);
}

} // namespace
