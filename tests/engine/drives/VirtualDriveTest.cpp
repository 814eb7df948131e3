// Virtual drives through the real libburn layer: "stdio:" pseudo-drives on files in a temporary folder.
#include "EngineEvents.h"
#include "TestSupport.h"
#include "engine/EngineCodes.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/DriveLayer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace {

class VirtualDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        TDVDWriterPro2::setDriveLayer(nullptr);
    }
    void TearDown() override
    {
        m_engine.reset();
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // Lists the given drive entries; answers the index of the first one.
    int initDrives(const QStringList &entries)
    {
        qputenv("KESTRANE_VIRTUAL_DRIVES", entries.join(QLatin1Char(':')).toLocal8Bit());
        m_engine = std::make_unique<TDVDWriterPro2>(TDVDWriterPro2::Instance::DVDWriterPro);
        m_events = std::make_unique<EngineEvents>(*m_engine);
        EXPECT_TRUE(m_engine->InitializeDrives(0));
        return m_engine->DriveCount() - int(entries.size());
    }

    // An ISO made by genisoimage from a small tree.
    QString makeIso(const QString &name, int fileBytes = 300 * 1024)
    {
        const QString tree = path(name + QStringLiteral("-tree"));
        QDir().mkpath(tree + QStringLiteral("/Docs/Deep"));
        QByteArray bytes(fileBytes, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7 + 3) % 251);
        TestSupport::writeAll(tree + QStringLiteral("/Docs/a.bin"), bytes);
        TestSupport::writeAll(tree + QStringLiteral("/Docs/Deep/b.txt"), QByteArray("hello\n"));
        TestSupport::writeAll(tree + QStringLiteral("/readme.txt"), QByteArray("top\n"));
        const QString iso = path(name);
        QProcess genisoimage;
        genisoimage.start(QStringLiteral("genisoimage"),
                          {QStringLiteral("-quiet"), QStringLiteral("-R"), QStringLiteral("-J"),
                           QStringLiteral("-V"), QStringLiteral("KTEST"), QStringLiteral("-o"), iso, tree});
        EXPECT_TRUE(genisoimage.waitForFinished(60000));
        EXPECT_EQ(genisoimage.exitCode(), 0) << genisoimage.readAllStandardError().constData();
        return iso;
    }

    // A sparse image, quick to make, long enough to burn that a cancel lands in the middle.
    QString makeLargeImage(const QString &name, qint64 bytes)
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_TRUE(file.resize(bytes));
        return file.fileName();
    }

    void burnAndExpectComplete(const QString &iso)
    {
        m_events->clear();
        ASSERT_TRUE(m_engine->BurnImageFile(iso));
        ASSERT_TRUE(m_events->waitForEnd());
        EXPECT_EQ(m_events->kinds, QStringList {QStringLiteral("complete")})
            << (m_events->errors.empty() ? std::string() : m_events->errors[0].info.toStdString());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TDVDWriterPro2> m_engine;
    std::unique_ptr<EngineEvents> m_events;
};

TEST_F(VirtualDriveTest, ListedAfterTheRealDrivesWithTheirOwnNames)
{
    const int first = initDrives({path("a.img"), path("b.img") + QStringLiteral("=1M")});
    ASSERT_GE(first, 0);
    for (int i = 0; i < 2; ++i) {
        const int index = first + i;
        const QChar letter(char('D' + index));
        EXPECT_EQ(m_engine->DriveLetter(index), QString(letter));
        EXPECT_EQ(m_engine->DriveVendor(index), QStringLiteral("Kestrane"));
        EXPECT_EQ(m_engine->DriveProduct(index), QStringLiteral("Virtual Recorder"));
        EXPECT_TRUE(m_engine->IsWriter(index));
        EXPECT_EQ(DriveLetters::devicePath(letter), path(i == 0 ? "a.img" : "b.img"));
    }
    EXPECT_TRUE(m_engine->DriveLetter(first + 2).isEmpty());

    ASSERT_TRUE(m_engine->SelectDrive(first));
    EXPECT_EQ(m_engine->DiscType(), 9);
    EXPECT_TRUE(m_engine->HasCapability(39));
    for (int code : {7, 10, 37})
        EXPECT_FALSE(m_engine->HasCapability(code)) << code;
    EXPECT_EQ(m_engine->FreeBlocks(), 4'700'372'992 / 2048);
    ASSERT_TRUE(m_engine->SelectDrive(first + 1));
    EXPECT_EQ(m_engine->FreeBlocks(), 512);
    EXPECT_FALSE(QFileInfo::exists(path("a.img"))) << "listing or selecting must not create the file";
}

TEST_F(VirtualDriveTest, BurnLeavesExactlyTheImageAndReportsProgressOnTheOwnerThread)
{
    const QString iso = makeIso("data.iso");
    const int first = initDrives({path("drive.img")});
    // An older, longer image in the drive: the burn must not leave its tail behind.
    TestSupport::writeAll(path("drive.img"), QByteArray(3 * 1024 * 1024, 'x'));
    ASSERT_TRUE(m_engine->SelectDrive(first));

    ASSERT_TRUE(m_engine->BurnImageFile(iso));
    EXPECT_TRUE(m_events->kinds.isEmpty() && m_events->progress.empty()) << "events come after the call";
    ASSERT_TRUE(m_events->waitForEnd());
    EXPECT_EQ(m_events->kinds, QStringList {QStringLiteral("complete")});
    EXPECT_TRUE(m_events->allOnOwnerThread);

    const qint64 blocks = QFileInfo(iso).size() / 2048;
    ASSERT_FALSE(m_events->progress.empty());
    for (size_t i = 0; i < m_events->progress.size(); ++i) {
        EXPECT_EQ(m_events->progress[i].total, blocks);
        if (i > 0) {
            EXPECT_GE(m_events->progress[i].written, m_events->progress[i - 1].written);
        }
    }
    EXPECT_EQ(m_events->progress.back().written, blocks);
    EXPECT_EQ(TestSupport::readAll(path("drive.img")), TestSupport::readAll(iso));

    // Once more onto the same drive: it is free again after the burn.
    burnAndExpectComplete(iso);
    EXPECT_EQ(TestSupport::readAll(path("drive.img")), TestSupport::readAll(iso));
}

TEST_F(VirtualDriveTest, AutoVerifyReadsTheBurnBackBeforeTheBurnCompletes)
{
    const QString iso = makeIso("data.iso");
    const int first = initDrives({path("drive.img")});
    ASSERT_TRUE(m_engine->SelectDrive(first));
    m_engine->setAutoVerify(true);
    ASSERT_TRUE(m_engine->BurnImageFile(iso));
    ASSERT_TRUE(m_events->waitForEnd());
    // Three files in the image, each read back equal; the report comes before the end.
    EXPECT_EQ(m_events->kinds, QStringList({QStringLiteral("verify 3/3"), QStringLiteral("complete")}));
    EXPECT_EQ(TestSupport::readAll(path("drive.img")), TestSupport::readAll(iso));
    // The drive is free again afterwards.
    m_engine->setAutoVerify(false);
    burnAndExpectComplete(iso);
}

// The read-back names the first file that differs, in the image's folder order, and the offset of
// its first differing byte; the disc is changed after the write, before the read-back.
enum class Damage { None, FlipByte, CutShort };

struct ReadBackRow
{
    const char *name;
    Damage damage;
    qint64 at; // offset inside /Docs/a.bin
    int matched;
    const char *firstFile;
    qint64 firstOffset;
};

class AutoVerifyDamage : public VirtualDriveTest, public ::testing::WithParamInterface<ReadBackRow>
{
};

TEST_P(AutoVerifyDamage, FirstDifferingFileAndOffset)
{
    const ReadBackRow &row = GetParam();
    const QString iso = makeIso(QStringLiteral("data.iso"));
    const QString disc = path(QStringLiteral("drive.img"));
    const int first = initDrives({disc});
    ASSERT_TRUE(m_engine->SelectDrive(first));
    const QByteArray image = TestSupport::readAll(iso);
    // On the disc /readme.txt comes first, then /Docs/a.bin, then /Docs/Deep/b.txt.
    const qsizetype aBin = image.indexOf(QByteArray::fromRawData("\x03\x0a\x11\x18", 4));
    ASSERT_LT(image.indexOf("top\n"), aBin);
    ASSERT_GT(image.indexOf("hello\n"), aBin);
    bool damaged = false;
    QObject::connect(m_engine.get(), &TDVDWriterPro2::OnTrackWriteStatus, m_events.get(),
                     [&](int, qint64 written, qint64 total) {
                         if (row.damage == Damage::None || written != total || damaged)
                             return;
                         damaged = true;
                         QByteArray bytes = TestSupport::readAll(disc);
                         if (row.damage == Damage::FlipByte)
                             bytes[aBin + row.at] = char(bytes[aBin + row.at] ^ 0x01);
                         else
                             bytes.truncate(aBin + row.at);
                         TestSupport::writeAll(disc, bytes);
                     });
    std::vector<std::pair<int, qint64>> verifying; // stage and bytes done, in the read-back
    qint64 verifyTotal = 0;
    QObject::connect(m_engine.get(), &TDVDWriterPro2::OnBurnProgress, m_events.get(),
                     [&](int stage, qint64 done, qint64 total) {
                         if (stage == EngineCodes::Verifying) {
                             verifying.emplace_back(stage, done);
                             verifyTotal = std::max(verifyTotal, total);
                         } else {
                             EXPECT_TRUE(verifying.empty()) << "a write stage after the read-back began";
                         }
                     });
    m_engine->setAutoVerify(true);
    ASSERT_TRUE(m_engine->BurnImageFile(iso));
    ASSERT_TRUE(m_events->waitForEnd());
    EXPECT_EQ(damaged, row.damage != Damage::None);
    EXPECT_EQ(m_events->kinds.last(), QStringLiteral("complete"));
    const ReadBack readBack = m_engine->LastReadBack();
    EXPECT_EQ(readBack.error, QString());
    EXPECT_EQ(readBack.filesCompared, 3);
    EXPECT_EQ(readBack.filesMatched, row.matched);
    EXPECT_EQ(readBack.firstDifferingFile, QString::fromUtf8(row.firstFile));
    EXPECT_EQ(readBack.firstDifferenceOffset, row.firstOffset);
    ASSERT_FALSE(verifying.empty());
    EXPECT_EQ(verifying.front().second, 0);
    // Every file's bytes count, the differing ones whole: 300 KiB, 6 and 4 bytes.
    EXPECT_EQ(verifyTotal, 300 * 1024 + 6 + 4);
    EXPECT_EQ(verifying.back().second, verifyTotal) << "the read-back ends at 100%";
}

INSTANTIATE_TEST_SUITE_P(
    Discs, AutoVerifyDamage,
    ::testing::Values(
        ReadBackRow {"intact", Damage::None, 0, 3, "", -1},
        ReadBackRow {"byte_flipped", Damage::FlipByte, 200001, 2, "/Docs/a.bin", 200001},
        ReadBackRow {"first_byte_flipped", Damage::FlipByte, 0, 2, "/Docs/a.bin", 0},
        // The files after the cut cannot be read either; the first is named where the disc ends.
        ReadBackRow {"cut_inside_the_file", Damage::CutShort, 100000, 1, "/Docs/a.bin", 100000}),
    [](const ::testing::TestParamInfo<ReadBackRow> &row) { return std::string(row.param.name); });

TEST_F(VirtualDriveTest, CancelStopsTheBurnAndTheDriveBurnsAgain)
{
    const QString large = makeLargeImage("large.iso", qint64(1536) << 20);
    const QString iso = makeIso("small.iso");
    const int first = initDrives({path("drive.img")});
    ASSERT_TRUE(m_engine->SelectDrive(first));

    ASSERT_TRUE(m_engine->BurnImageFile(large));
    EXPECT_FALSE(m_engine->BurnImageFile(iso)) << "a second burn on a busy drive is refused";
    TDVDWriterPro2 eraser(TDVDWriterPro2::Instance::DVDWriterPro1);
    if (m_engine->DriveCount() == 1) {
        EXPECT_FALSE(eraser.EraseDisc(true)) << "another instance cannot erase the drive being written";
    }
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return !m_events->progress.empty() || m_events->endings() > 0; }, 30000));
    m_engine->CancelWrite();
    ASSERT_TRUE(m_events->waitForEnd());
    EXPECT_EQ(m_events->kinds, QStringList {QStringLiteral("cancelled")});
    EXPECT_LT(QFileInfo(path("drive.img")).size(), QFileInfo(large).size());

    m_engine->CancelWrite(); // nothing runs: harmless
    burnAndExpectComplete(iso);
    EXPECT_EQ(TestSupport::readAll(path("drive.img")), TestSupport::readAll(iso));
}

TEST_F(VirtualDriveTest, ImageLargerThanTheDriveIsRefused)
{
    const QString iso = makeIso("data.iso");
    const int first = initDrives({path("small.img") + QStringLiteral("=64K")});
    ASSERT_TRUE(m_engine->SelectDrive(first));
    EXPECT_LT(m_engine->FreeBlocks() * 2048, QFileInfo(iso).size());
    EXPECT_FALSE(m_engine->BurnImageFile(iso));
    EXPECT_FALSE(m_engine->BurnImageFile(path("missing.iso")));
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_TRUE(m_events->kinds.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path("small.img")));
}

TEST_F(VirtualDriveTest, EraseEmptiesTheFileAfterTheCallReturns)
{
    const QString iso = makeIso("data.iso");
    const int first = initDrives({path("drive.img")});
    ASSERT_TRUE(m_engine->SelectDrive(first));
    burnAndExpectComplete(iso);

    // The erase instance never selects a drive: it uses the first writer.
    TDVDWriterPro2 eraser(TDVDWriterPro2::Instance::DVDWriterPro1);
    EngineEvents events(eraser);
    if (m_engine->DriveCount() != 1)
        GTEST_SKIP() << "a real writer comes first on this machine";
    EXPECT_EQ(eraser.DiscType(), 9);
    EXPECT_TRUE(eraser.HasCapability(39));
    ASSERT_TRUE(eraser.EraseDisc(true));
    EXPECT_TRUE(events.kinds.isEmpty());
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.kinds, (QStringList {QStringLiteral("eraseStart"), QStringLiteral("eraseComplete")}));
    EXPECT_EQ(QFileInfo(path("drive.img")).size(), 0);

    // A blank drive (no file yet) erases as well, and a full erase is the same for a file.
    QFile::remove(path("drive.img"));
    events.clear();
    ASSERT_TRUE(eraser.EraseDisc(false));
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.kinds, (QStringList {QStringLiteral("eraseStart"), QStringLiteral("eraseComplete")}));
    burnAndExpectComplete(iso);
}

TEST_F(VirtualDriveTest, SelectFailsWhenTheFolderIsMissing)
{
    const int first = initDrives({path("nowhere/drive.img")});
    EXPECT_FALSE(m_engine->SelectDrive(first));
    EXPECT_EQ(m_engine->DiscType(), 254) << "after a failed selection nothing is current";
    EXPECT_FALSE(m_engine->BurnImageFile(makeIso("data.iso")));
    EXPECT_FALSE(m_engine->SelectDrive(first + 1));
}

// Extracts an image with an independent reader; answers the folder.
QString extract(const QString &iso, const QString &into)
{
    QDir().mkpath(into);
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"), {QStringLiteral("-xf"), iso, QStringLiteral("-C"), into});
    EXPECT_TRUE(bsdtar.waitForFinished(60000));
    EXPECT_EQ(bsdtar.exitCode(), 0) << bsdtar.readAllStandardError().constData();
    return into;
}

TEST_F(VirtualDriveTest, DiscToImageReadsTheVirtualDriveThroughItsLetter)
{
    const QString original = makeIso("original.iso");
    ASSERT_TRUE(QFile::copy(original, path("drive.img")));
    const int first = initDrives({path("drive.img")});
    const QString letter = m_engine->DriveLetter(first);

    m_engine->ResetImage();
    m_engine->AddFolder(QStringLiteral("\\"), letter + QStringLiteral(":\\*.*"));
    ASSERT_TRUE(m_engine->WriteImageFile(path("copy.iso"))) << m_engine->LastImageError().toStdString();

    const QString a = extract(original, path("a"));
    const QString b = extract(path("copy.iso"), path("b"));
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-r"), a, b});
    ASSERT_TRUE(diff.waitForFinished(60000));
    EXPECT_EQ(diff.exitCode(), 0) << diff.readAllStandardOutput().constData();
    EXPECT_TRUE(QFileInfo::exists(b + QStringLiteral("/Docs/Deep/b.txt")));
}

// Faults that fail a started burn: each gives WriteError 2 with libburn's reason, and once the fault
// is gone the same drive burns again.
struct FaultRow
{
    const char *name;
    std::function<void(const QString &driveFile)> inject;
    std::function<void(const QString &driveFile)> remove;
    const char *reasonPart;
};

class VirtualDriveFaultTest : public VirtualDriveTest, public ::testing::WithParamInterface<FaultRow>
{
};

TEST_P(VirtualDriveFaultTest, WriteErrorTwoThenTheNextBurnWorks)
{
    const QString iso = makeIso("data.iso", 3 * 1024 * 1024);
    QDir().mkpath(path("folder"));
    const QString driveFile = path("folder/drive.img");
    const int first = initDrives({driveFile});
    ASSERT_TRUE(m_engine->SelectDrive(first));

    GetParam().inject(driveFile);
    const bool started = m_engine->BurnImageFile(iso);
    const bool ended = started && m_events->waitForEnd();
    GetParam().remove(driveFile);
    ASSERT_TRUE(started);
    ASSERT_TRUE(ended);
    ASSERT_EQ(m_events->kinds, QStringList {QStringLiteral("error")});
    EXPECT_EQ(m_events->errors[0].writeError, 2);
    EXPECT_TRUE(m_events->errors[0].info.contains(QLatin1String(GetParam().reasonPart)))
        << m_events->errors[0].info.toStdString();
    EXPECT_TRUE(m_events->errors[0].sense.isEmpty());

    burnAndExpectComplete(iso);
    EXPECT_EQ(TestSupport::readAll(driveFile), TestSupport::readAll(iso));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, VirtualDriveFaultTest,
    ::testing::Values(
        FaultRow {"FolderRemovedAfterSelection",
                  [](const QString &file) { QDir(QFileInfo(file).absolutePath()).removeRecursively(); },
                  [](const QString &file) { QDir().mkpath(QFileInfo(file).absolutePath()); }, "directory"},
        // Root may write anywhere: a folder in the file's place is what cannot be written here.
        FaultRow {"DriveFileNotWritable", [](const QString &file) { QDir().mkpath(file); },
                  [](const QString &file) { QDir(file).removeRecursively(); }, "Failed to open"},
        FaultRow {"DiskFillsDuringTheBurn",
                  [](const QString &) {
                      std::signal(SIGXFSZ, SIG_IGN);
                      const rlimit limit {1 << 20, RLIM_INFINITY};
                      setrlimit(RLIMIT_FSIZE, &limit);
                  },
                  [](const QString &) {
                      const rlimit limit {RLIM_INFINITY, RLIM_INFINITY};
                      setrlimit(RLIMIT_FSIZE, &limit);
                  },
                  "File too large"}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

} // namespace
