// The engine's drive logic on scripted drives: media, drive errors and hardware states.
#include <cstdint>
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include "EngineEvents.h"
#include "ScriptedDriveLayer.h"
#include "TestSupport.h"
#include "engine/TDVDWriterPro2.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using Drives::DiscStatus;

namespace {

class ScriptedDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
        m_layer = std::make_shared<LayerScript>();
        // D reads only, E writes CD and DVD (it holds a blank DVD-R), F is a DVD writer without a disc.
        m_reader = scriptedDrive(QStringLiteral("/dev/sr0"), false, 0x10, DiscStatus::Full, {0x08, 0x10});
        m_writer = scriptedDrive(QStringLiteral("/dev/sr1"), true, 0x11, DiscStatus::Blank,
                                 {0x09, 0x0a, 0x11, 0x13, 0x14, 0x1a, 0x1b});
        m_empty = scriptedDrive(QStringLiteral("/dev/sr2"), true, 0, DiscStatus::Empty, {0x09, 0x0a, 0x11});
        m_layer->drives = {m_reader, m_writer, m_empty};
        m_iso = m_dir.filePath(QStringLiteral("image.iso"));
        TestSupport::writeAll(m_iso, QByteArray(10 * 2048, 'i'));
    }
    void TearDown() override
    {
        m_engine.reset();
        TDVDWriterPro2::setDriveLayer(nullptr);
    }

    void start(TDVDWriterPro2::Instance instance = TDVDWriterPro2::Instance::DVDWriterPro)
    {
        TDVDWriterPro2::setDriveLayer(std::make_unique<ScriptedDriveLayer>(m_layer));
        m_engine = std::make_unique<TDVDWriterPro2>(instance);
        m_events = std::make_unique<EngineEvents>(*m_engine);
        ASSERT_TRUE(m_engine->InitializeDrives(0));
        ASSERT_EQ(m_engine->DriveCount(), 3);
    }

    QTemporaryDir m_dir;
    QString m_iso;
    std::shared_ptr<LayerScript> m_layer;
    std::shared_ptr<DriveScript> m_reader, m_writer, m_empty;
    std::unique_ptr<TDVDWriterPro2> m_engine;
    std::unique_ptr<EngineEvents> m_events;
};

TEST_F(ScriptedDriveTest, ListsDrivesAndKeepsNoneOpenAfterTheScan)
{
    start();
    EXPECT_EQ(m_engine->DriveLetter(0), QStringLiteral("D"));
    EXPECT_EQ(m_engine->DriveLetter(2), QStringLiteral("F"));
    EXPECT_EQ(m_engine->DriveProduct(1), QStringLiteral("Model /dev/sr1"));
    EXPECT_FALSE(m_engine->IsWriter(0));
    EXPECT_TRUE(m_engine->IsWriter(1));
    for (const auto &drive : m_layer->drives)
        EXPECT_FALSE(drive->acquired);
}

TEST_F(ScriptedDriveTest, MediumAndCapabilitiesOfTheCurrentDrive)
{
    start();
    ASSERT_TRUE(m_engine->SelectDrive(1));
    EXPECT_TRUE(m_writer->acquired);
    EXPECT_FALSE(m_reader->acquired) << "only the selected drive is opened";
    EXPECT_EQ(m_engine->DiscType(), 2);
    EXPECT_TRUE(m_engine->HasCapability(7));
    EXPECT_TRUE(m_engine->HasCapability(10));
    EXPECT_TRUE(m_engine->HasCapability(37));
    EXPECT_FALSE(m_engine->HasCapability(39));
    EXPECT_EQ(m_engine->MaxWriteSpeed(), 11080);
    EXPECT_EQ(m_engine->FreeBlocks(), 4'700'372'992 / 2048);

    m_writer->medium.profile = 0x0a; // the user put in a written CD-RW
    m_writer->medium.status = DiscStatus::Full;
    EXPECT_EQ(m_engine->DiscType(), 253);
    ASSERT_TRUE(m_engine->SelectDrive(2));
    EXPECT_EQ(m_engine->DiscType(), 254);
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso)) << "no disc";
    EXPECT_TRUE(m_empty->writes.empty());
}

TEST_F(ScriptedDriveTest, BurnCarriesTheEngineProperties)
{
    start();
    ASSERT_TRUE(m_engine->SelectDrive(1));
    m_engine->SetWriteSpeed(8);
    m_engine->setTestWrite(true);
    m_engine->setCloseSession(false);
    m_engine->setWriteType(1);
    m_engine->SetBurnFlag(true);
    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    ASSERT_TRUE(m_events->waitForEnd(5000));
    ASSERT_EQ(m_writer->writes.size(), 1u);
    const Drives::WriteRequest &request = m_writer->writes[0];
    EXPECT_EQ(request.imageBytes, 10 * 2048);
    EXPECT_TRUE(request.simulate);
    EXPECT_FALSE(request.closeDisc);
    EXPECT_TRUE(request.sessionAtOnce);
    EXPECT_TRUE(request.underrunProtection);
    EXPECT_EQ(request.speedKBs, 8 * 1385);
    EXPECT_EQ(m_events->kinds, QStringList {QStringLiteral("complete")});
    // The script's sector counts go past the image: progress is held to the total and never falls.
    ASSERT_EQ(m_events->progress.size(), 3u);
    EXPECT_EQ(m_events->progress[0].written, 10);
    EXPECT_EQ(m_events->progress.back().written, 10);
}

TEST_F(ScriptedDriveTest, RefusesWhatCannotStart)
{
    m_writer->medium.freeBytes = 5 * 2048;
    start();
    ASSERT_TRUE(m_engine->SelectDrive(1));
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso)) << "larger than the free space";
    m_writer->medium.freeBytes = 4'700'372'992;
    EXPECT_FALSE(m_engine->BurnImageFile(m_dir.filePath(QStringLiteral("missing.iso"))));
    TestSupport::writeAll(m_dir.filePath(QStringLiteral("empty.iso")), {});
    EXPECT_FALSE(m_engine->BurnImageFile(m_dir.filePath(QStringLiteral("empty.iso"))));
    m_writer->startSucceeds = false;
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso));
    m_writer->startSucceeds = true;

    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso)) << "one burn at a time";
    TDVDWriterPro2 other(TDVDWriterPro2::Instance::DVDWriterPro1);
    EXPECT_FALSE(other.BurnImageFile(m_iso)) << "the drive is busy for every instance";
    EXPECT_FALSE(other.EraseDisc(true));
    ASSERT_TRUE(m_events->waitForEnd(5000));
    EXPECT_EQ(m_writer->writes.size(), 2u);
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_EQ(m_events->endings(), 1) << "exactly one end event per burn";
}

TEST_F(ScriptedDriveTest, AFailedSelectionWritesNowhere)
{
    m_writer->canAcquire = false; // removed between scan and use
    start();
    EXPECT_FALSE(m_engine->SelectDrive(1));
    EXPECT_FALSE(m_engine->SelectDrive(7));
    EXPECT_EQ(m_engine->DiscType(), 254);
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso));
    EXPECT_FALSE(m_engine->EraseDisc(true));
    for (const auto &drive : m_layer->drives)
        EXPECT_TRUE(drive->writes.empty() && drive->erases.empty());
}

TEST_F(ScriptedDriveTest, WithoutSelectionTheFirstWriterIsUsed)
{
    m_writer->medium.profile = 0x0a;
    m_writer->medium.status = DiscStatus::Full;
    start(TDVDWriterPro2::Instance::DVDWriterPro1);
    EXPECT_EQ(m_engine->DiscType(), 253);
    EXPECT_TRUE(m_engine->HasCapability(7));
    ASSERT_TRUE(m_engine->EraseDisc(false));
    EXPECT_TRUE(m_events->kinds.isEmpty()) << "the erase events come after the call";
    ASSERT_TRUE(m_events->waitForEnd(5000));
    EXPECT_EQ(m_events->kinds, (QStringList {QStringLiteral("eraseStart"), QStringLiteral("eraseComplete")}));
    EXPECT_EQ(m_writer->erases, std::vector<bool> {false});
    EXPECT_TRUE(m_reader->erases.empty());
}

// What a running job is doing, from the drive's counts and state: in bytes for a burn, in the library's
// steps for an erase, whose total only the library knows.
TEST_F(ScriptedDriveTest, StagesOfABurnAndOfAnErase)
{
    struct Row
    {
        const char *name;
        bool erase;
        std::vector<int64_t> steps;
        int64_t of;
        size_t closingFrom;
        QStringList stages;
    };
    const Row rows[] = {
        {"burn",
         false,
         {0, 4, 9, 9},
         0,
         3,
         {QStringLiteral("Preparing 0/20480"), QStringLiteral("Writing 8192/20480"),
          QStringLiteral("Writing 18432/20480"), QStringLiteral("Closing 18432/20480")}},
        // The drive's count reaching the image's end is closing, whatever the library's state says.
        {"burn_whose_count_reaches_the_end",
         false,
         {5, 10},
         0,
         size_t(-1),
         {QStringLiteral("Writing 10240/20480"), QStringLiteral("Closing 20480/20480")}},
        {"erase_with_a_total",
         true,
         {100, 50, 300},
         400,
         size_t(-1),
         {QStringLiteral("Erasing 100/400"), QStringLiteral("Erasing 100/400"),
          QStringLiteral("Erasing 300/400")}},
        {"erase_without_one", true, {100}, 0, size_t(-1), {QStringLiteral("Erasing 0/0")}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_writer->progressSteps = row.steps;
        m_writer->progressOf = row.of;
        m_writer->closingFrom = row.closingFrom;
        start(row.erase ? TDVDWriterPro2::Instance::DVDWriterPro1 : TDVDWriterPro2::Instance::DVDWriterPro);
        ASSERT_TRUE(m_engine->SelectDrive(1));
        ASSERT_TRUE(row.erase ? m_engine->EraseDisc(true) : m_engine->BurnImageFile(m_iso));
        ASSERT_TRUE(m_events->waitForEnd(5000));
        EXPECT_EQ(m_events->stages, row.stages);
    }
}

TEST_F(ScriptedDriveTest, DriveErrorDuringEraseCarriesTheSense)
{
    m_writer->jobSucceeds = false;
    m_writer->messagesAtEnd = {
        {0x2010f, QStringLiteral("DEBUG"), 0,
         QStringLiteral("SCSI error condition on command A1h BLANK: [3 51 00]  Erase failure")},
        {0x20108, QStringLiteral("FAILURE"), 0, QStringLiteral("Blanking failed")}};
    start(TDVDWriterPro2::Instance::DVDWriterPro1);
    ASSERT_TRUE(m_engine->EraseDisc(true));
    ASSERT_TRUE(m_events->waitForEnd(5000));
    ASSERT_EQ(m_events->kinds, (QStringList {QStringLiteral("eraseStart"), QStringLiteral("error")}));
    EXPECT_EQ(m_events->errors[0].writeError, 3);
    EXPECT_EQ(m_events->errors[0].driveError, 1036);
    EXPECT_EQ(m_events->errors[0].info, QStringLiteral("Blanking failed"));
    EXPECT_EQ(m_events->errors[0].sense, QStringLiteral("03/51/00"));
    EXPECT_FALSE(m_writer->acquired) << "a failed drive is released";
}

TEST_F(ScriptedDriveTest, BurnErrorsByKind)
{
    start();
    ASSERT_TRUE(m_engine->SelectDrive(1));

    m_writer->jobSucceeds = false;
    m_writer->messagesAtEnd = {
        {0x2011d, QStringLiteral("FATAL"), 0,
         QStringLiteral("SCSI error on write(16,16): [3 0C 09]  Write error, loss of streaming")}};
    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    ASSERT_TRUE(m_events->waitForEnd(5000));
    ASSERT_EQ(m_events->errors.size(), 1u);
    EXPECT_EQ(m_events->errors[0].writeError, 3);
    EXPECT_EQ(m_events->errors[0].driveError, 1008);
    EXPECT_EQ(m_events->errors[0].sense, QStringLiteral("03/0C/09"));
    EXPECT_FALSE(m_writer->acquired);

    // The image became unreadable halfway: the next burn opens the drive again and reports it.
    m_events->clear();
    m_writer->messagesAtEnd.clear();
    m_writer->sourceError = QStringLiteral("Cannot read the image file: Input/output error");
    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    EXPECT_TRUE(m_writer->acquired);
    ASSERT_TRUE(m_events->waitForEnd(5000));
    ASSERT_EQ(m_events->errors.size(), 1u);
    EXPECT_EQ(m_events->errors[0].writeError, 1);
    EXPECT_EQ(m_events->errors[0].info, m_writer->sourceError);
}

TEST_F(ScriptedDriveTest, CancelGivesCancelledAndEjectReleases)
{
    m_writer->progressSteps = std::vector<int64_t>(1000, 1);
    start();
    ASSERT_TRUE(m_engine->SelectDrive(1));
    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !m_events->progress.empty(); }, 5000));
    m_engine->EjectTray(0);
    EXPECT_EQ(m_writer->ejects, 0) << "no eject while the drive writes";
    m_engine->CancelWrite();
    m_engine->CancelWrite();
    ASSERT_TRUE(m_events->waitForEnd(5000));
    EXPECT_EQ(m_events->kinds, QStringList {QStringLiteral("cancelled")});
    EXPECT_EQ(m_writer->cancels, 1);

    m_engine->EjectTray(0);
    EXPECT_EQ(m_writer->ejects, 1);
    EXPECT_FALSE(m_writer->acquired);
    EXPECT_EQ(m_engine->DiscType(), 2) << "the next use opens the drive again";
    EXPECT_TRUE(m_writer->acquired);
}

// Captures what the engine writes to stderr while it lives.
class StderrCapture
{
public:
    explicit StderrCapture(const QString &file)
        : m_file(file)
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        return QString::fromLocal8Bit(TestSupport::readAll(m_file));
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_saved = -1;
    }
    QString m_file;
    int m_saved = -1;
};

TEST_F(ScriptedDriveTest, MessagesNotTurnedIntoEventsReachStderrWithTheirCode)
{
    start();
    StderrCapture capture(m_dir.filePath(QStringLiteral("stderr.txt")));
    m_layer->queued = {{0x20001, QStringLiteral("NOTE"), 0, QStringLiteral("Drive examined")},
                       {0x20002, QStringLiteral("DEBUG"), 0, QStringLiteral("Allocating buffer")}};
    iso_msgs_submit(0, const_cast<char *>("Image note"), 0, const_cast<char *>("WARNING"), 0);
    ASSERT_TRUE(m_engine->SelectDrive(1));
    m_writer->jobSucceeds = false;
    m_writer->messagesAtEnd = {{0x20148, QStringLiteral("SORRY"), 28, QStringLiteral("Cannot write")},
                               {0x20178, QStringLiteral("UPDATE"), 0, QStringLiteral("Write thread ended")}};
    ASSERT_TRUE(m_engine->BurnImageFile(m_iso));
    ASSERT_TRUE(m_events->waitForEnd(5000));
    const QString logged = capture.text();
    EXPECT_TRUE(logged.contains(QStringLiteral("NOTE 0x00020001: Drive examined"))) << logged.toStdString();
    EXPECT_TRUE(logged.contains(QStringLiteral("UPDATE 0x00020178: Write thread ended")))
        << logged.toStdString();
    EXPECT_TRUE(
        logged.contains(QRegularExpression(QStringLiteral("libisofs WARNING 0x[0-9a-f]{8}: Image note"))))
        << logged.toStdString();
    EXPECT_FALSE(logged.contains(QStringLiteral("Allocating buffer"))) << "DEBUG stays out of the log";
    EXPECT_FALSE(logged.contains(QStringLiteral("Cannot write"))) << "the event carries it";
    ASSERT_EQ(m_events->errors.size(), 1u);
    EXPECT_EQ(m_events->errors[0].info, QStringLiteral("Cannot write (No space left on device)"));
}

} // namespace
