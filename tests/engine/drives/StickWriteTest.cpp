// Writing to a stick through UDisks2, against the stand-in on a private bus: the listing, the
// confirmation the engine insists on, the write with its read-back, and the refusals that must leave
// the stick untouched.
#include "EngineEvents.h"
#include "MockUdisks.h"
#include "TestSupport.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/DriveLayer.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray imageBytes(qint64 bytes)
{
    QByteArray data(int(bytes), '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i / 2048 * 7 + i) % 241);
    return data;
}

class StickWrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MockUdisks &mock = MockUdisks::instance();
        if (!mock.running())
            GTEST_SKIP() << mock.error().toStdString();
        mock.reset();
        TDVDWriterPro2::setDriveLayer(nullptr);
        m_engine = std::make_unique<TDVDWriterPro2>(TDVDWriterPro2::Instance::DVDWriterPro);
        m_events = std::make_unique<EngineEvents>(*m_engine);
        ASSERT_TRUE(m_engine->InitializeDrives(0));
        for (int i = 0; i < m_engine->DriveCount(); ++i) {
            if (m_engine->StickDetails(i))
                m_sticks.append(i);
        }
        m_iso = m_dir.filePath(QStringLiteral("image.iso"));
        TestSupport::writeAll(m_iso, imageBytes(3 * 1024 * 1024 + 6 * 2048));
    }
    void TearDown() override
    {
        m_events.reset();
        m_engine.reset();
    }

    MockUdisks &mock() { return MockUdisks::instance(); }
    QByteArray stick() const { return TestSupport::readAll(MockUdisks::instance().stickFile()); }
    int openCalls(const QString &device) const
    {
        return int(MockUdisks::instance().calls().filter(QStringLiteral("OpenDevice ") + device).size());
    }

    // Confirms, burns and waits; answers the events' kinds.
    QStringList burn()
    {
        EXPECT_EQ(m_sticks.size(), 1);
        EXPECT_TRUE(m_engine->SelectDrive(m_sticks.value(0)));
        EXPECT_TRUE(m_engine->ConfirmStickWrite(m_sticks.value(0)));
        m_events->clear();
        EXPECT_TRUE(m_engine->BurnImageFile(m_iso)) << m_engine->LastBurnRefusal().toStdString();
        EXPECT_TRUE(m_events->waitForEnd(60000));
        return m_events->kinds;
    }

    QTemporaryDir m_dir;
    QString m_iso;
    std::unique_ptr<TDVDWriterPro2> m_engine;
    std::unique_ptr<EngineEvents> m_events;
    QList<int> m_sticks;
};

TEST_F(StickWrite, ListsTheStickAfterTheOtherDrivesAndNeverTheSystemDisk)
{
    ASSERT_EQ(m_sticks.size(), 1);
    const int index = m_sticks[0];
    EXPECT_EQ(index, m_engine->DriveCount() - 1);
    EXPECT_EQ(m_engine->DriveVendor(index), QStringLiteral("Kingston"));
    EXPECT_EQ(m_engine->DriveProduct(index), QStringLiteral("DataTraveler 3.0 (64.00 MB)"));
    EXPECT_TRUE(m_engine->IsWriter(index));
    const std::optional<StickInfo> info = m_engine->StickDetails(index);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->device, QStringLiteral("/dev/sdx"));
    EXPECT_EQ(info->labels, QStringList {QStringLiteral("KINGSTON")});
    for (int i = 0; i < m_engine->DriveCount(); ++i)
        EXPECT_FALSE(m_engine->DriveProduct(i).contains(QStringLiteral("Samsung"))) << i;

    // The free-space check sees the stick's size; erasing is not offered.
    ASSERT_TRUE(m_engine->SelectDrive(index));
    EXPECT_EQ(m_engine->FreeBlocks() * 2048, MockUdisks::StickBytes);
    EXPECT_FALSE(m_engine->HasCapability(39));
}

TEST_F(StickWrite, ConfirmedBurnWritesTheImageReadsItBackAndClearsTheOldBackupGpt)
{
    EXPECT_EQ(burn(), QStringList {QStringLiteral("complete")})
        << (m_events->errors.empty() ? std::string() : m_events->errors[0].info.toStdString());
    const QByteArray written = stick();
    const QByteArray image = TestSupport::readAll(m_iso);
    ASSERT_EQ(written.size(), MockUdisks::StickBytes) << "a stick keeps its size";
    EXPECT_TRUE(written.startsWith(image));
    EXPECT_EQ(written.right(512), QByteArray(512, '\0')) << "the old backup GPT must go";
    // Between the image and the cleared tail the stick keeps what it had.
    const int middle = int(MockUdisks::StickBytes / 2);
    EXPECT_EQ(written.mid(middle, 4096), MockUdisks::oldStickContent().mid(middle, 4096));
    ASSERT_FALSE(m_events->progress.empty());
    EXPECT_EQ(m_events->progress.back().written, image.size() / 2048);

    const QStringList calls = mock().calls();
    const auto position = [&calls](const QString &start) {
        for (int i = 0; i < calls.size(); ++i) {
            if (calls[i].startsWith(start))
                return i;
        }
        return -1;
    };
    const int unmount = position(QStringLiteral("Unmount /org/freedesktop/UDisks2/block_devices/sdx1"));
    const int open = position(
        QStringLiteral("OpenDevice /org/freedesktop/UDisks2/block_devices/sdx rw excl=1 interactive=1"));
    const int rescan = position(QStringLiteral("Rescan /org/freedesktop/UDisks2/block_devices/sdx"));
    EXPECT_TRUE(unmount >= 0 && open > unmount && rescan > open)
        << calls.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(openCalls(QStringLiteral("/org/freedesktop/UDisks2/block_devices/nvme")), 0);
    EXPECT_EQ(TestSupport::readAll(mock().systemFile()), MockUdisks::systemContent());
}

TEST_F(StickWrite, WithoutConfirmationNothingIsOpened)
{
    ASSERT_EQ(m_sticks.size(), 1);
    ASSERT_TRUE(m_engine->SelectDrive(m_sticks[0]));
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso));
    // A confirmation holds for one burn only.
    EXPECT_EQ(burn(), QStringList {QStringLiteral("complete")});
    mock().reset();
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso));
    EXPECT_EQ(openCalls(QStringLiteral("/org")), 0);
    EXPECT_EQ(stick(), MockUdisks::oldStickContent());
}

struct RefusalRow
{
    const char *name;
    const char *mode;
    const char *reason; // a part of the error text
};

class StickRefusal : public StickWrite, public ::testing::WithParamInterface<RefusalRow>
{
};

TEST_P(StickRefusal, ReportsWhyAndWritesNothing)
{
    mock().setMode(QString::fromLatin1(GetParam().mode));
    EXPECT_EQ(burn(), QStringList {QStringLiteral("error")});
    ASSERT_EQ(m_events->errors.size(), 1u);
    EXPECT_TRUE(m_events->errors[0].info.contains(QString::fromLatin1(GetParam().reason)))
        << m_events->errors[0].info.toStdString();
    EXPECT_TRUE(m_events->errors[0].info.contains(QStringLiteral("nothing was written")));
    EXPECT_EQ(stick(), MockUdisks::oldStickContent());
    EXPECT_FALSE(m_engine->StickLeftPartlyWritten(m_sticks[0]));
    // Never a second try, and never without O_EXCL.
    const QStringList opens = mock().calls().filter(QStringLiteral("OpenDevice"));
    EXPECT_EQ(opens.size(), 1) << opens.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(opens.value(0).contains(QStringLiteral("excl=1")));
}

INSTANTIATE_TEST_SUITE_P(Modes, StickRefusal,
                         ::testing::Values(RefusalRow {"Busy", "busy", "Device or resource busy"},
                                           RefusalRow {"NotAuthorised", "not-authorised", "did not allow"}),
                         [](const ::testing::TestParamInfo<RefusalRow> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST_F(StickWrite, ReadBackThatDiffersIsAWriteErrorNotACompletion)
{
    mock().setMode(QStringLiteral("fake"));
    EXPECT_EQ(burn(), QStringList {QStringLiteral("error")});
    ASSERT_EQ(m_events->errors.size(), 1u);
    EXPECT_TRUE(m_events->errors[0].info.contains(QStringLiteral("differs from the image")))
        << m_events->errors[0].info.toStdString();
    // The stick was changed: the user is told to write it again, even once it is listed afresh.
    EXPECT_TRUE(m_engine->StickLeftPartlyWritten(m_sticks[0]));
    ASSERT_TRUE(m_engine->InitializeDrives(0));
    EXPECT_TRUE(m_engine->StickLeftPartlyWritten(m_sticks[0]));
    mock().setMode(QStringLiteral("ok"));
    EXPECT_EQ(burn(), QStringList {QStringLiteral("complete")});
    EXPECT_FALSE(m_engine->StickLeftPartlyWritten(m_sticks[0]));
}

TEST_F(StickWrite, ImageLargerThanTheStickIsRefusedBeforeAnythingOpens)
{
    ASSERT_EQ(m_sticks.size(), 1);
    TestSupport::writeAll(m_iso, QByteArray(int(MockUdisks::StickBytes + 2048), 'i'));
    ASSERT_TRUE(m_engine->SelectDrive(m_sticks[0]));
    ASSERT_TRUE(m_engine->ConfirmStickWrite(m_sticks[0]));
    EXPECT_FALSE(m_engine->BurnImageFile(m_iso));
    EXPECT_EQ(openCalls(QStringLiteral("/org")), 0);
}

TEST_F(StickWrite, PluggingAndUnpluggingIsAnnounced)
{
    int announced = 0;
    QObject::connect(m_engine.get(), &TDVDWriterPro2::OnDriveListChanged, m_engine.get(),
                     [&] { ++announced; });
    mock().plug(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return announced == 1; }, 10000));
    ASSERT_TRUE(m_engine->InitializeDrives(0));
    for (int i = 0; i < m_engine->DriveCount(); ++i)
        EXPECT_FALSE(m_engine->StickDetails(i)) << i;
    mock().plug(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return announced == 2; }, 10000));
    ASSERT_TRUE(m_engine->InitializeDrives(0));
    EXPECT_TRUE(m_engine->StickDetails(m_engine->DriveCount() - 1));
}

} // namespace

namespace {

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// The command line over the same stand-in; standard input is not a terminal.
CliRun runCli(const QStringList &arguments)
{
    QProcess cli;
    cli.setProcessEnvironment(QProcessEnvironment::systemEnvironment()); // the stand-in's bus, sticks on
    cli.start(QStringLiteral(KESTRANE_PROGRAM_DIR "/kestrane-cli"), arguments);
    cli.closeWriteChannel();
    EXPECT_TRUE(cli.waitForFinished(60000));
    return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()),
            QString::fromUtf8(cli.readAllStandardError())};
}

} // namespace

// A script sees the stick in `drives` and writes it only with --yes: without it, and without a
// terminal to ask on, nothing is opened.
TEST_F(StickWrite, CommandLineListsTheStickAndWritesItOnlyWithYes)
{
    ASSERT_EQ(m_sticks.size(), 1);
    const QString letter = m_engine->DriveLetter(m_sticks[0]);
    m_events.reset();
    m_engine.reset(); // the command line opens the stick itself

    const CliRun drives = runCli({QStringLiteral("drives")});
    EXPECT_EQ(drives.status, 0) << drives.err.toStdString();
    EXPECT_TRUE(drives.out.contains(
        letter + QStringLiteral(":Kingston DataTraveler 3.0 (64.00 MB), USB stick or SD card, ")))
        << drives.out.toStdString();
    EXPECT_FALSE(drives.out.contains(QStringLiteral("nvme"), Qt::CaseInsensitive));

    const CliRun refused = runCli({QStringLiteral("burn"), m_iso, QStringLiteral("--drive"), letter});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--yes"))) << refused.err.toStdString();
    EXPECT_EQ(openCalls(QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdx")), 0);
    EXPECT_EQ(stick(), MockUdisks::oldStickContent());

    const CliRun written = runCli({QStringLiteral("burn"), m_iso, QStringLiteral("--drive"), letter,
                                   QStringLiteral("--yes"), QStringLiteral("--quiet")});
    EXPECT_EQ(written.status, 0) << written.err.toStdString();
    EXPECT_TRUE(written.out.contains(QStringLiteral("Writing is complete!")));
    EXPECT_TRUE(stick().startsWith(TestSupport::readAll(m_iso)));
    EXPECT_EQ(TestSupport::readAll(mock().systemFile()), MockUdisks::systemContent());
}
