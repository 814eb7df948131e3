#include "DamagedDiscs.h"
#include "DesktopBus.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "core/SleepInhibitor.h"
#include "engine/DriveThread.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnController.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveLists.h"
#include "jobs/ImageJobController.h"
#include "jobs/TFrmConvertProcess.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <type_traits>

using namespace ImageTest;

namespace {

// Every burn and image job holds a lock against sleep and may notify the desktop: the program talks to
// buses of its own only, started before any test runs.
[[maybe_unused]] ::testing::Environment *const ownBuses =
    ::testing::AddGlobalTestEnvironment(new DesktopBus::OwnBuses);

QStringList shownTexts()
{
    QStringList texts;
    for (const auto &shown : MessageBoxSeam::takeShown())
        texts.append(shown.text);
    return texts;
}

// The job side of the main window, built from plain controls: the real engine, virtual drives, and a
// drive thread that asks the engine's drive side as the window's does.
class JobFlow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Globals().ExeFolder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
        Globals().VerifyAfterBurning = false;
        FileDialogSeam::enable();
        MessageBoxSeam::takeShown();
        m_sources = m_dir.filePath(QStringLiteral("src"));
        writeFile(m_sources + QStringLiteral("/a.txt"), "alpha\n");
        writeFile(m_sources + QStringLiteral("/Docs/b.bin"), patterned(300000, 7));
        writeFile(m_sources + QStringLiteral("/Docs/Deep/c.txt"), "gamma\n");

        for (QAction *&action : m_actions) {
            action = new QAction(&m_window);
            action->setProperty("Category", QString());
        }
        m_sysAction = new QAction(&m_window);
        m_sysAction->setProperty("Category", QStringLiteral("sys"));
    }

    void TearDown() override
    {
        m_job.reset();
        m_burn.reset();
        m_lists.reset();
        m_drives.reset();
        FileDialogSeam::disable();
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
        m_engine.InitializeDrives(0);
    }

    // Virtual drives from "path[=size]" entries, then the page objects over them.
    void useDrives(const QStringList &drives)
    {
        qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(drives.join(QLatin1Char(':'))));
        if (!m_drives) {
            m_drives = std::make_unique<DriveThread>();
            m_drives->adopt({&m_engine, &m_compilation, &m_eraseEngine});
        }
        ASSERT_TRUE(onDrives([this] { return m_engine.InitializeDrives(0); }));
        m_lists = std::make_unique<DriveLists>(&m_engine, m_drives.get(), m_cdPage, m_burnPage);
        QList<QAction *> actions(m_actions.begin(), m_actions.end());
        actions.append(m_sysAction);
        m_burn = std::make_unique<BurnController>(&m_engine, &m_eraseEngine, m_drives.get(), m_burnPage,
                                                  m_cdPage, actions);
        m_job = std::make_unique<ImageJobController>(&m_engine, &m_compilation, m_drives.get(), &m_progress,
                                                     m_cdPage, m_burnPage, *m_lists, *m_burn,
                                                     [this] { return m_label; });
        QObject::connect(m_job.get(), &ImageJobController::burnPageWanted,
                         [this] { m_burnPageShown = true; });
    }

    // Runs `work` on the drive thread, which owns the engines' drive sides, and waits for its answer.
    template<typename Work>
    std::invoke_result_t<Work &> onDrives(Work work)
    {
        std::optional<std::invoke_result_t<Work &>> answer;
        bool answered = false;
        m_drives->ask(&m_window, std::move(work), [&](auto result) {
            answer = std::move(result);
            answered = true;
        });
        EXPECT_TRUE(TestSupport::waitFor([&answered] { return answered; }, 30000));
        EXPECT_TRUE(answer.has_value()) << "the drive thread did not answer";
        return answer.value_or(std::invoke_result_t<Work &> {});
    }

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    // A page entry, and the wait until its drive steps have ended.
    void enterPage(void (DriveLists::*entry)(DriveLists::Then))
    {
        bool ended = false;
        (m_lists.get()->*entry)([&ended](bool) { ended = true; });
        ASSERT_TRUE(TestSupport::waitFor([&ended] { return ended; }, 30000));
    }

    bool jobControlsEnabled() const
    {
        for (QAction *action : m_actions) {
            if (!action->isEnabled())
                return false;
        }
        return m_cdrwList.isEnabled() && m_burnPath.isEnabled() && m_speedButton2.isEnabled() &&
            m_selSavePath.isEnabled();
    }

    QTemporaryDir m_dir;
    QString m_sources;
    QWidget m_window;
    TDVDWriterPro2 m_engine {TDVDWriterPro2::Instance::DVDWriterPro};
    TDVDWriterPro2 m_compilation {TDVDWriterPro2::Instance::DVDWriterPro21};
    TDVDWriterPro2 m_eraseEngine {TDVDWriterPro2::Instance::DVDWriterPro1};
    TFrmConvertProcess m_progress;
    // The pages the main window shows, with their own controls, in a window of the test's.
    CdToIsoPage m_cdPage {QIcon(), &m_window};
    BurnIsoPage m_burnPage {QIcon(), &m_window};
    QComboBox &m_cdList = *m_cdPage.CboCdList;
    QComboBox &m_cdrwList = *m_burnPage.CboCDRWList;
    QLineEdit &m_savePath = *m_cdPage.EdtSavePath;
    QLineEdit &m_burnPath = *m_burnPage.EdtBurnISOPath;
    QToolButton &m_speedButton2 = *m_burnPage.SpeedButton2;
    QToolButton &m_selSavePath = *m_cdPage.SbtnSelSavepath;
    QProgressBar &m_bar = *m_burnPage.PsBarWriteDisk;
    std::array<QAction *, 11> m_actions {};
    QAction *m_sysAction = nullptr;
    std::optional<QString> m_label = QStringLiteral("Holiday 2026");
    bool m_burnPageShown = false;
    std::unique_ptr<DriveThread> m_drives;
    std::unique_ptr<DriveLists> m_lists;
    std::unique_ptr<BurnController> m_burn;
    std::unique_ptr<ImageJobController> m_job;
};

TEST_F(JobFlow, DriveListsOfEveryDriveAndOfWriters)
{
    useDrives({path("one.iso"), path("two.iso=700M")});
    enterPage(&DriveLists::EnterCdToIsoPage);
    ASSERT_EQ(m_cdList.count(), 2);
    EXPECT_EQ(m_cdList.itemText(0), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_EQ(m_cdList.itemText(1), QStringLiteral("E:Kestrane Virtual Recorder"));
    EXPECT_EQ(m_cdList.currentText(), m_cdList.itemText(0));
    m_savePath.setText(QStringLiteral("/x.iso"));
    enterPage(&DriveLists::EnterBurnIsoPage);
    EXPECT_EQ(m_cdrwList.count(), 2);
    EXPECT_EQ(m_cdrwList.currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_TRUE(m_savePath.text().isEmpty());
    EXPECT_EQ(onDrives([this] { return m_engine.DiscType(); }), 9);
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_EQ(onDrives([this] { return DriveLists::FindDriveIndex(&m_engine, QStringLiteral("E")); }), 1);
    EXPECT_LT(onDrives([this] { return DriveLists::FindDriveIndex(&m_engine, QStringLiteral("Q")); }), 0);
}

TEST(WriteSpeed, MultipleOfTheBaseSpeed)
{
    const struct
    {
        int type;
        int max;
        std::optional<int> multiple;
    } rows[] = {
        {253, 7056, 40},
        {255, 7056, 40},
        {254, 176, 1},
        {1, 11080, 8},
        {9, 11080, 8},
        {253, 88, 1}, // 0.5 rounds away from zero
        {2, 0, std::nullopt},
        {2, -5, std::nullopt},
        {2, 3450, 3}, // 2.50 by 1380; 2.49 by the engine's 1385
                      // would give 2
        {10, 8990, 7}, // a 2x BD drive: 6.51 by 1380
        {3, 1380, 1},
        {4, 2069, 1},
        {4, 2070, 2}, // 1.4993 and 1.5 exactly
    };
    for (const auto &row : rows)
        EXPECT_EQ(DriveLists::WriteSpeedMultiple(row.type, row.max), row.multiple)
            << row.type << " " << row.max;
}

TEST_F(JobFlow, BurnRefusalsAndTheFreeSpaceMessage)
{
    useDrives({});
    m_burnPath.setText(path("image.iso"));
    m_burn->ActBURNISOExecExecute();
    EXPECT_EQ(shownTexts(), QStringList {QStringLiteral("Please choose the CD/DVD-R driver.")});
    EXPECT_TRUE(jobControlsEnabled());

    useDrives({path("small.iso=350M")});
    enterPage(&DriveLists::EnterBurnIsoPage);
    m_burnPath.clear();
    m_burn->ActBURNISOExecExecute();
    EXPECT_EQ(shownTexts(), QStringList {QStringLiteral("Please choose the ISO file you want to burn.")});

    // A 700 MiB image against 350 MiB of space: refused before the engine burns anything.
    QFile big(path("big.iso"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(700LL * 1048576));
    big.close();
    m_burnPath.setText(path("big.iso"));
    m_burn->ActBURNISOExecExecute();
    const QString freeSpace = QStringLiteral("Free Space on the loaded disc is 350.00 MB!\rThis data "
                                             "image requires 700.00 MB of Free Space!");
    ASSERT_TRUE(TestSupport::waitForMessage(freeSpace));
    EXPECT_EQ(shownTexts(),
              QStringList {QStringLiteral("Free Space on the loaded disc is 350.00 MB!\rThis data "
                                          "image requires 700.00 MB of Free Space!")});
    EXPECT_FALSE(QFile::exists(path("small.iso")));
    // The page stays locked, "sys" actions untouched, until Cancel.
    EXPECT_FALSE(m_actions[0]->isEnabled());
    EXPECT_FALSE(m_cdrwList.isEnabled());
    EXPECT_TRUE(m_sysAction->isEnabled());
    m_burn->ActCancelBURNISOExecExecute();
    EXPECT_TRUE(jobControlsEnabled());

    // An image the engine refuses: the fixed text, and the engine's reason in the box's details.
    writeFile(path("empty.iso"), QByteArray());
    m_burnPath.setText(path("empty.iso"));
    m_burn->ActBURNISOExecExecute();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Error Writing ISO File.")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("Error Writing ISO File."));
    EXPECT_EQ(shown[0].detail, path("empty.iso") + QStringLiteral(" is not a readable image file"));
    m_burn->ActCancelBURNISOExecExecute();
}

TEST_F(JobFlow, FilesToImageThenBurnNowNoAndYes)
{
    useDrives({path("drive.iso")});
    m_compilation.AddFolder(QStringLiteral("\\Src"), m_sources + QStringLiteral("/*.*"));
    m_burnPath.setText(QStringLiteral("/earlier.iso"));

    FileDialogSeam::setNextFileName(path("first.iso"));
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDNO);
    m_job->ActFILETOISOExecExecute();
    EXPECT_EQ(shownTexts(),
              QStringList({QStringLiteral("ISO File Created successfully!"),
                           QStringLiteral("Do you want to burn the ISO file now?")}));
    EXPECT_EQ(m_compilation.VolumeIdentifier(), QStringLiteral("Holiday 2026"));
    EXPECT_EQ(primaryVolumeId(path("first.iso")), QStringLiteral("Holiday 2026"));
    EXPECT_EQ(m_burnPath.text(), QStringLiteral("/earlier.iso"));
    EXPECT_FALSE(m_burnPageShown);
    EXPECT_TRUE(jobControlsEnabled());
    EXPECT_FALSE(m_progress.isVisible());

    FileDialogSeam::setNextFileName(path("second.iso"));
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    m_job->ActFILETOISOExecExecute();
    EXPECT_TRUE(m_burnPageShown);
    EXPECT_EQ(m_burnPath.text(), path("second.iso"));
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    EXPECT_EQ(m_cdrwList.currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_EQ(TestSupport::readAll(path("drive.iso")), TestSupport::readAll(path("second.iso")));
    EXPECT_EQ(m_bar.value(), 0);
    EXPECT_TRUE(jobControlsEnabled());

    const QString extracted = path("out");
    ASSERT_TRUE(extractWithBsdtar(path("drive.iso"), extracted));
    EXPECT_EQ(compareTrees(m_sources, extracted + QStringLiteral("/Src")), QStringList());
}

TEST_F(JobFlow, DiscToImageFromAVirtualDrive)
{
    // A disc made by another program, in a virtual drive.
    const ProcessResult made =
        run(QStringLiteral("genisoimage"),
            {QStringLiteral("-quiet"), QStringLiteral("-J"), QStringLiteral("-R"), QStringLiteral("-V"),
             QStringLiteral("PEER"), QStringLiteral("-o"), path("disc.iso"), m_sources});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    useDrives({path("disc.iso")});

    m_job->ActCDTOISOExecExecute();
    EXPECT_EQ(shownTexts(),
              QStringList {QStringLiteral("Please choose the CD/DVD driver to get the ISO file.")});
    enterPage(&DriveLists::EnterCdToIsoPage);
    m_job->ActCDTOISOExecExecute();
    EXPECT_EQ(shownTexts(), QStringList {QStringLiteral("Please choose the path to save ISO file.")});

    FileDialogSeam::setNextFileName(path("copy.iso"));
    m_job->SbtnSelSavepathClick();
    EXPECT_EQ(m_savePath.text(), path("copy.iso"));
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDNO);
    m_job->ActCDTOISOExecExecute();
    EXPECT_EQ(shownTexts(),
              QStringList({QStringLiteral("ISO File Created successfully!"),
                           QStringLiteral("Do you want to burn the ISO file now?")}));
    const QString extracted = path("copy");
    ASSERT_TRUE(extractWithBsdtar(path("copy.iso"), extracted));
    EXPECT_EQ(compareTrees(m_sources, extracted), QStringList());
    // The copy is named like a compilation: by the FILETOISO tree's label, not the disc's.
    EXPECT_EQ(primaryVolumeId(path("copy.iso")), QStringLiteral("Holiday 2026"));

    // Before the FILETOISO page has a root, by the label its root starts with.
    m_label = std::nullopt;
    FileDialogSeam::setNextFileName(path("unnamed.iso"));
    m_job->SbtnSelSavepathClick();
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDNO);
    m_job->ActCDTOISOExecExecute();
    ASSERT_EQ(shownTexts().value(0), QStringLiteral("ISO File Created successfully!"));
    EXPECT_EQ(primaryVolumeId(path("unnamed.iso")), QStringLiteral("New Disc"));
    EXPECT_EQ(jolietVolumeId(path("unnamed.iso")), QStringLiteral("New Disc"));

    // Cancelling the dialog empties the path.
    m_job->SbtnSelSavepathClick();
    EXPECT_TRUE(m_savePath.text().isEmpty());
}

TEST_F(JobFlow, BlankDiscGivesAnErrorNotAnEmptyImage)
{
    useDrives({path("blank.iso")});
    enterPage(&DriveLists::EnterCdToIsoPage);
    m_savePath.setText(path("nothing.iso"));
    m_job->ActCDTOISOExecExecute();
    EXPECT_EQ(shownTexts(), QStringList {QStringLiteral("Error creating ISO File.")});
    EXPECT_FALSE(QFile::exists(path("nothing.iso")));
    EXPECT_TRUE(jobControlsEnabled());
}

TEST_F(JobFlow, CancelDuringAnImageWriteAndDuringABurn)
{
    useDrives({path("drive.iso")});
    // Enough data that the write is still running when the first progress arrives.
    for (int i = 0; i < 6; ++i)
        writeFile(m_sources + QStringLiteral("/big%1.bin").arg(i), patterned(64LL << 20, i));
    m_compilation.AddFolder(QStringLiteral("\\"), m_sources + QStringLiteral("/*.*"));
    QObject::connect(
        &m_compilation, &TDVDWriterPro2::OnImageWriteProgress, &m_progress,
        [this](qint64 done, qint64) {
            if (done > 0 && m_progress.isVisible())
                m_progress.suiImageButton1->Click();
        },
        Qt::QueuedConnection);
    FileDialogSeam::setNextFileName(path("cancelled.iso"));
    m_job->ActFILETOISOExecExecute();
    EXPECT_FALSE(m_progress.isVisible());
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_FALSE(QFile::exists(path("cancelled.iso")));
    QObject::disconnect(&m_compilation, &TDVDWriterPro2::OnImageWriteProgress, &m_progress, nullptr);

    // The next job runs normally; its image is then burnt and the burn cancelled.
    FileDialogSeam::setNextFileName(path("whole.iso"));
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDNO);
    m_job->ActFILETOISOExecExecute();
    ASSERT_EQ(shownTexts().value(0), QStringLiteral("ISO File Created successfully!"));

    enterPage(&DriveLists::EnterBurnIsoPage);
    m_burnPath.setText(path("whole.iso"));
    bool cancelled = false;
    QObject::connect(&m_engine, &TDVDWriterPro2::OnTrackWriteStatus, &m_window,
                     [&](int, qint64 done, qint64) {
                         if (done > 0 && !cancelled) {
                             cancelled = true;
                             m_burn->ActCancelBURNISOExecExecute();
                         }
                     });
    m_burn->ActBURNISOExecExecute();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing Cancelled!")));
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(jobControlsEnabled());
    EXPECT_EQ(m_bar.value(), 0);
}

// What the page says while a burn runs: each text it showed, in order, and whether Burn ISO looked busy.
struct PageWatch
{
    QStringList texts;
    bool burnButtonBusy = false;
    // Texts shown while writing, with when they were shown (ms since the first of them).
    QList<std::pair<qint64, QString>> writing;
    QElapsedTimer sinceWriting;
};

// The burn page's status line follows the engine's progress: its texts are taken as they change.
void watchPage(TDVDWriterPro2 &engine, BurnIsoPage &page, QWidget &context, PageWatch &watch)
{
    QObject::connect(&engine, &TDVDWriterPro2::OnBurnProgress, &context, [&page, &watch] {
        const QString text = page.LblBurnStatus->text();
        if (watch.texts.isEmpty() || watch.texts.last() != text)
            watch.texts.append(text);
        if (text.startsWith(QLatin1String("Writing "))) {
            if (!watch.sinceWriting.isValid())
                watch.sinceWriting.start();
            watch.writing.append({watch.sinceWriting.elapsed(), text});
        }
        if (!page.suiImageButton16->isEnabled() &&
            page.suiImageButton16->currentPicture() == page.suiImageButton16->PicMouseDown().bitmap())
            watch.burnButtonBusy = true;
    });
}

TEST_F(JobFlow, ThePageTellsStagePercentAndSpeedWhileABurnRuns)
{
    useDrives({path("drive.iso") + QStringLiteral("=1G")});
    // Burn ISO follows its action, as in the window; a sparse image takes a moment yet costs no disk.
    m_burnPage.suiImageButton16->setAction(m_actions.back());
    ASSERT_FALSE(m_burnPage.suiImageButton16->PicMouseDown().isEmpty())
        << "the program's pictures are missing";
    const QString image = path("big.iso");
    QFile file(image);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(qint64(512) << 20));
    file.close();
    PageWatch watch;
    watchPage(m_engine, m_burnPage, m_window, watch);
    enterPage(&DriveLists::EnterBurnIsoPage);
    m_burnPath.setText(image);
    m_burn->ActBURNISOExecExecute();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!"), 120000));

    const QRegularExpression writing(
        QStringLiteral("^Writing (\\d+)%(, [\\d.]+ MB/s(, \\d+:\\d\\d left)?)?$"));
    QList<int> percents;
    for (const QString &text : std::as_const(watch.texts)) {
        if (const QRegularExpressionMatch match = writing.match(text); match.hasMatch())
            percents.append(match.captured(1).toInt());
    }
    ASSERT_FALSE(percents.isEmpty()) << watch.texts.join(QLatin1Char('|')).toStdString();
    // The stages come in their order, never back.
    const QStringList stages {QStringLiteral("Preparing"), QStringLiteral("Writing"),
                              QStringLiteral("Closing")};
    qsizetype stage = 0;
    for (const QString &text : std::as_const(watch.texts)) {
        const qsizetype now = stages.indexOf(text.section(QLatin1Char(' '), 0, 0));
        EXPECT_GE(now, stage) << text.toStdString();
        stage = std::max(now, stage);
    }
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()))
        << watch.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_LT(percents.first(), 100);
    // Once data has moved for a while the speed shows (how long the write takes is the machine's: the
    // next test makes sure of it); a virtual drive is a file: MB/s, no multiple of a disc's.
    for (const auto &[ms, text] : std::as_const(watch.writing)) {
        if (ms >= 700) {
            EXPECT_TRUE(text.contains(QLatin1String(" MB/s, ")) && text.endsWith(QLatin1String(" left")))
                << ms << " ms: " << text.toStdString();
        }
    }
    EXPECT_TRUE(watch.texts.filter(QStringLiteral("\u00d7")).isEmpty());
    EXPECT_TRUE(watch.burnButtonBusy);
    // Idle again: no words, the bar at 0, Burn ISO as it always looks.
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QString());
    EXPECT_EQ(m_bar.value(), 0);
    EXPECT_TRUE(m_burnPage.suiImageButton16->isEnabled());
    EXPECT_TRUE(jobControlsEnabled());
}

// The engine's figures as they reach the page, at a pace of the test's: the speed is measured anew in
// each stage, and the words go once the job has ended.
TEST_F(JobFlow, SpeedAndTimeLeftFromTheEnginesFigures)
{
    useDrives({path("drive.iso")});
    const qint64 total = qint64(100) << 20;
    const auto at = [this](int stage, qint64 done, qint64 of) {
        Q_EMIT m_engine.OnBurnProgress(stage, done, of);
        return m_burnPage.LblBurnStatus->text();
    };
    const auto pause = [](int ms) {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    EXPECT_EQ(at(EngineCodes::Writing, 0, total), QStringLiteral("Writing 0%"));
    pause(600);
    const QRegularExpression timed(QStringLiteral("^Writing 30%, (\\d+\\.\\d) MB/s, 0:0\\d left$"));
    const QRegularExpressionMatch match = timed.match(at(EngineCodes::Writing, 30 << 20, total));
    ASSERT_TRUE(match.hasMatch()) << m_burnPage.LblBurnStatus->text().toStdString();
    // 30 MiB in a little more than the pause: at most 50 MB/s.
    EXPECT_GT(match.captured(1).toDouble(), 0.0);
    EXPECT_LE(match.captured(1).toDouble(), 50.0);
    EXPECT_EQ(at(EngineCodes::Closing, total, total), QStringLiteral("Closing 100%"));
    // The read-back starts from nothing: no speed carried over from the write.
    EXPECT_EQ(at(EngineCodes::Verifying, 0, 0), QStringLiteral("Verifying"));
    EXPECT_EQ(at(EngineCodes::Verifying, 1 << 20, total), QStringLiteral("Verifying 1%"));
    EXPECT_EQ(m_bar.value(), 1) << "the bar follows the read-back";
    Q_EMIT m_engine.OnWriteCancelled();
    EXPECT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing Cancelled!")));
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QString());

    // The erase window has no bar: the page behind it tells the erase, until it ends.
    Q_EMIT m_eraseEngine.OnBurnProgress(EngineCodes::Erasing, 100, 400);
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QStringLiteral("Erasing 25%"));
    Q_EMIT m_eraseEngine.OnEraseDiscComplete();
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QString());
    Q_EMIT m_eraseEngine.OnBurnProgress(EngineCodes::Erasing, 0, 0);
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QStringLiteral("Erasing"));
    Q_EMIT m_eraseEngine.OnWriteError(3, 1036, QStringLiteral("Blanking failed"), QStringLiteral("03/51/00"));
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QString());
}

// A burn with "Verify after burning" reads the disc back; a disc whose file was altered between the
// write and the read-back ends in an error naming the file and where it first differs.
struct ReadBackRow
{
    const char *name;
    qint64 damageAt; // offset inside /Docs/b.bin of the byte changed before the read-back; -1 none
    const char *box;
};

class BurnReadBack : public JobFlow, public ::testing::WithParamInterface<ReadBackRow>
{
};

TEST_P(BurnReadBack, VerdictInTheEndBox)
{
    const ReadBackRow &row = GetParam();
    const QString disc = path("drive.iso");
    useDrives({disc + QStringLiteral("=64M")});
    m_compilation.AddFolder(QStringLiteral("\\"), m_sources + QStringLiteral("/*.*"));
    const QString image = path("image.iso");
    ASSERT_TRUE(m_compilation.WriteImageFile(image));
    const qsizetype fileAt = TestSupport::readAll(image).indexOf(patterned(300000, 7));
    ASSERT_GT(fileAt, 0);

    // The write has ended and the read-back not begun: the disc's byte is changed on the drive thread,
    // between the two.
    std::atomic<bool> damaged {false};
    QObject::connect(
        &m_engine, &TDVDWriterPro2::OnTrackWriteStatus, &m_window,
        [&](int, qint64 done, qint64 total) {
            if (row.damageAt < 0 || done != total || damaged.exchange(true))
                return;
            QFile file(disc);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.seek(fileAt + row.damageAt));
            char byte = 0;
            ASSERT_TRUE(file.getChar(&byte));
            ASSERT_TRUE(file.seek(fileAt + row.damageAt));
            ASSERT_TRUE(file.putChar(char(byte ^ 0x40)));
        },
        Qt::DirectConnection);
    PageWatch watch;
    watchPage(m_engine, m_burnPage, m_window, watch);

    m_burnPage.ChkVerifyAfterBurn->setChecked(true);
    enterPage(&DriveLists::EnterBurnIsoPage);
    m_burnPath.setText(image);
    m_burn->ActBURNISOExecExecute();
    const QString box = QString::fromUtf8(row.box);
    ASSERT_TRUE(TestSupport::waitForMessage(box, 60000)) << shownTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(shownTexts(), QStringList {box});
    EXPECT_EQ(damaged.load(), row.damageAt >= 0);
    EXPECT_TRUE(onDrives([this] { return m_engine.AutoVerify(); })) << "the box did not reach the engine";
    EXPECT_FALSE(watch.texts.filter(QRegularExpression(QStringLiteral("^Verifying"))).isEmpty())
        << watch.texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_burnPage.LblBurnStatus->text(), QString());
    EXPECT_EQ(m_bar.value(), 0);
    EXPECT_TRUE(jobControlsEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Discs, BurnReadBack,
    ::testing::Values(
        ReadBackRow {"matching_disc", -1, "Writing is complete!"},
        ReadBackRow {"byte_changed_in_a_file", 123456,
                     "Read back: 3 files checked, 1 differs from the image: the first difference "
                     "is in /Docs/b.bin at byte offset 123456."},
        ReadBackRow {"first_byte_of_a_file_changed", 0,
                     "Read back: 3 files checked, 1 differs from the image: the first difference "
                     "is in /Docs/b.bin at byte offset 0."}),
    [](const ::testing::TestParamInfo<ReadBackRow> &row) { return std::string(row.param.name); });

// Without the box a burn is not read back: the engine is told so, whatever it was told before.
TEST_F(JobFlow, BoxOffLeavesTheReadBackOff)
{
    useDrives({path("drive.iso") + QStringLiteral("=64M")});
    onDrives([this] {
        m_engine.setAutoVerify(true);
        return true;
    });
    m_compilation.AddFolder(QStringLiteral("\\"), m_sources + QStringLiteral("/*.*"));
    ASSERT_TRUE(m_compilation.WriteImageFile(path("image.iso")));
    PageWatch watch;
    watchPage(m_engine, m_burnPage, m_window, watch);
    enterPage(&DriveLists::EnterBurnIsoPage);
    m_burnPath.setText(path("image.iso"));
    m_burn->ActBURNISOExecExecute();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    EXPECT_FALSE(onDrives([this] { return m_engine.AutoVerify(); }));
    EXPECT_TRUE(watch.texts.filter(QRegularExpression(QStringLiteral("^Verifying"))).isEmpty())
        << watch.texts.join(QLatin1Char('|')).toStdString();
}

// The box's state lives in the option file: an old file without the key loads as off and keeps its
// layout while the box stays off.
struct OptionRow
{
    const char *name;
    const char *before;
    bool loaded; // the box's state after loading `before`
    bool ticked; // the box's state at close
    const char *after;
};

class VerifyOption : public JobFlow, public ::testing::WithParamInterface<OptionRow>
{
};

TEST_P(VerifyOption, SavedAtCloseAndShownAtTheNextStart)
{
    const OptionRow &row = GetParam();
    Globals().ProductFileStem = QStringLiteral("Kestrane");
    Globals().SettingsFolder = m_dir.path() + QLatin1Char('/');
    const QString file = m_dir.filePath(QStringLiteral("Kestrane_option.ini"));
    if (*row.before)
        TestSupport::writeAll(file, row.before);
    ReadOptionFile();
    useDrives({path("drive.iso")});
    EXPECT_EQ(m_burnPage.ChkVerifyAfterBurn->isChecked(), row.loaded);
    m_burnPage.ChkVerifyAfterBurn->setChecked(row.ticked);
    WriteOptionFile();
    EXPECT_EQ(TestSupport::readAll(file), QByteArray(row.after));

    // The next start: the box as it was left.
    Globals().VerifyAfterBurning = !row.ticked;
    ReadOptionFile();
    BurnIsoPage nextPage(QIcon(), &m_window);
    BurnController next(&m_engine, &m_eraseEngine, m_drives.get(), nextPage, m_cdPage, {});
    EXPECT_EQ(nextPage.ChkVerifyAfterBurn->isChecked(), row.ticked);
    Globals().SettingsFolder.clear();
}

INSTANTIATE_TEST_SUITE_P(
    Files, VerifyOption,
    ::testing::Values(OptionRow {"no_file_box_left_off", "", false, false,
                                 "\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\n"},
                      OptionRow {"no_file_box_ticked", "", false, true,
                                 "\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\nVerifyAfterBurning=1\r\n"},
                      OptionRow {"old_file_keeps_its_layout", "[option]\r\nShowToolbar=0\r\nChangeSkin=1\r\n",
                                 false, false, "[option]\r\nShowToolbar=0\r\nChangeSkin=1\r\n"},
                      OptionRow {"ticked_before_untick_now",
                                 "[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\nVerifyAfterBurning=1\r\n",
                                 true, false,
                                 "[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\nVerifyAfterBurning=0\r\n"}),
    [](const ::testing::TestParamInfo<OptionRow> &row) { return std::string(row.param.name); });

// Through the window a damaged disc ends in the error box, with the engine's reason in its details.
class DamagedDiscJob : public JobFlow, public ::testing::WithParamInterface<DamagedDiscs::Row>
{
};

TEST_P(DamagedDiscJob, ErrorBoxWithTheReasonAndNoImage)
{
    const QString discFolder = path("disc");
    QDir().mkpath(discFolder);
    const QString disc = DamagedDiscs::make(GetParam().damage, discFolder);
    ASSERT_FALSE(disc.isEmpty());
    useDrives({disc});
    enterPage(&DriveLists::EnterCdToIsoPage);
    m_savePath.setText(path("copy.iso"));
    // A job that hangs is cancelled after 30 s: the test then fails on the missing message.
    QTimer hang;
    hang.setSingleShot(true);
    QObject::connect(&hang, &QTimer::timeout, &m_progress, [this] { m_progress.suiImageButton1->Click(); });
    hang.start(30000);
    m_job->ActCDTOISOExecExecute();
    EXPECT_TRUE(hang.isActive()) << "the job did not end by itself";
    const QList<MessageBoxSeam::Shown> shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.at(0).text, QStringLiteral("Error creating ISO File."));
    EXPECT_TRUE(shown.at(0).detail.startsWith(
        QString::fromUtf8(GetParam().reason).replace(QStringLiteral("X:"), m_cdList.currentText().left(2))))
        << shown.at(0).detail.toStdString();
    EXPECT_FALSE(QFile::exists(path("copy.iso")));
    EXPECT_TRUE(jobControlsEnabled());
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedDiscJob, ::testing::ValuesIn(DamagedDiscs::Rows),
                         [](const auto &testInfo) { return std::string(testInfo.param.name); });

// What the desktop hears of a job: logind's lock while it runs, and a notification of its end when the
// user is elsewhere.
class JobDesktop : public JobFlow
{
protected:
    void SetUp() override
    {
        if (!DesktopBus::PrivateBuses::instance().running())
            GTEST_SKIP() << qPrintable(DesktopBus::PrivateBuses::instance().error());
        JobFlow::SetUp();
    }

    void TearDown() override
    {
        QObject::disconnect(m_keepActive);
        QApplication::setActiveWindow(nullptr);
        JobFlow::TearDown();
    }

    // An image file to burn: sparse, so that it costs no disk yet the burn takes a moment.
    QString sparseImage(qint64 bytes)
    {
        const QString image = path("burn.iso");
        QFile file(image);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(bytes));
        return image;
    }

    // The main window active or not, however the window system moves the focus meanwhile (a shown
    // progress window takes it): as a user who stays in the window, or who went to another program.
    void keepWindowActive(bool active)
    {
        // The progress window belongs to the main window, as in the program.
        m_progress.setParent(&m_window, m_progress.windowFlags());
        m_window.show();
        const auto apply = [this, active] {
            QApplication::setActiveWindow(active ? &m_window : nullptr);
        };
        apply();
        // At once, before a job that ends fast reads the state.
        m_keepActive = QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &m_window, apply);
    }

    void burn(const QString &image, const QString &endText)
    {
        enterPage(&DriveLists::EnterBurnIsoPage);
        m_burnPath.setText(image);
        m_burn->ActBURNISOExecExecute();
        ASSERT_TRUE(TestSupport::waitForMessage(endText));
    }

    QMetaObject::Connection m_keepActive;
};

struct LockRow
{
    const char *name;
    bool burn; // else a files-to-image job
    bool cancel; // cancelled at its first progress
};

class JobSleepLock : public JobDesktop, public ::testing::WithParamInterface<LockRow>
{
};

TEST_P(JobSleepLock, HeldWhileTheJobRunsAndGoneAtItsEnd)
{
    const LockRow &row = GetParam();
    const auto logind = DesktopBus::startLogind();
    ASSERT_TRUE(logind->up());
    useDrives({path("drive.iso") + QStringLiteral("=2G")});

    // The locks logind lists at the job's first progress, when it is cancelled if the row says so.
    std::optional<QList<DesktopBus::Inhibitor>> whileRunning;
    const auto look = [&] {
        whileRunning = DesktopBus::logindInhibitors(*logind);
        if (!row.cancel)
            return;
        if (row.burn)
            m_burn->ActCancelBURNISOExecExecute();
        else
            m_progress.suiImageButton1->Click();
    };
    if (row.burn) {
        QObject::connect(&m_engine, &TDVDWriterPro2::OnTrackWriteStatus, &m_window,
                         [&](int, qint64 done, qint64) {
                             if (done > 0 && !whileRunning)
                                 look();
                         });
        // Large enough that a cancel at the first progress finds the burn still running.
        burn(sparseImage(qint64(row.cancel ? 1024 : 256) << 20),
             row.cancel ? QStringLiteral("Writing Cancelled!") : QStringLiteral("Writing is complete!"));
    } else {
        m_compilation.AddFolder(QStringLiteral("\\"), m_sources + QStringLiteral("/*.*"));
        // The writing thread waits at its first progress until the window has looked: however fast the
        // write, it is still running then.
        std::atomic<bool> gated {false};
        QSemaphore looked;
        QObject::connect(
            &m_compilation, &TDVDWriterPro2::OnImageWriteProgress, &m_progress,
            [&](qint64, qint64) {
                if (gated.exchange(true))
                    return;
                QMetaObject::invokeMethod(
                    &m_progress,
                    [&] {
                        look();
                        looked.release();
                    },
                    Qt::QueuedConnection);
                looked.acquire();
            },
            Qt::DirectConnection);
        FileDialogSeam::setNextFileName(path("image.iso"));
        MessageBoxSeam::setNextAnswer(IDOK);
        MessageBoxSeam::setNextAnswer(IDNO);
        m_job->ActFILETOISOExecExecute();
        EXPECT_EQ(shownTexts().value(0),
                  row.cancel ? QString() : QStringLiteral("ISO File Created successfully!"));
    }

    ASSERT_TRUE(whileRunning.has_value()) << "the job ended before its first progress";
    ASSERT_EQ(whileRunning->size(), 1);
    EXPECT_EQ(whileRunning->at(0).what, QStringLiteral("sleep:idle"));
    EXPECT_EQ(whileRunning->at(0).mode, QStringLiteral("block"));
    EXPECT_EQ(
        whileRunning->at(0).why,
        SleepInhibitor::reasonFor(row.burn ? SleepInhibitor::Job::Burn : SleepInhibitor::Job::ImageWrite));
    EXPECT_TRUE(TestSupport::waitFor([&] { return DesktopBus::logindInhibitors(*logind).isEmpty(); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Jobs, JobSleepLock,
    ::testing::Values(LockRow {"burn_to_its_end", true, false}, LockRow {"burn_cancelled", true, true},
                      LockRow {"image_to_its_end", false, false}, LockRow {"image_cancelled", false, true}),
    [](const ::testing::TestParamInfo<LockRow> &row) { return std::string(row.param.name); });

enum class NoticeJob { Burn, FilesToImage, BlankDiscToImage };

struct NoticeRow
{
    const char *name;
    NoticeJob job;
    bool windowActive;
    const char *box; // the box that tells the job's end
};

class JobEndNotification : public JobDesktop, public ::testing::WithParamInterface<NoticeRow>
{
};

TEST_P(JobEndNotification, OnlyWhenTheWindowIsNotActive)
{
    const NoticeRow &row = GetParam();
    const auto daemon = DesktopBus::startNotificationDaemon();
    ASSERT_TRUE(daemon->up());
    useDrives({path(row.job == NoticeJob::BlankDiscToImage ? "blank.iso" : "drive.iso")});
    keepWindowActive(row.windowActive);
    const QString box = QString::fromUtf8(row.box);
    switch (row.job) {
    case NoticeJob::Burn:
        burn(sparseImage(8LL << 20), box);
        break;
    case NoticeJob::FilesToImage:
        m_compilation.AddFolder(QStringLiteral("\\Src"), m_sources + QStringLiteral("/*.*"));
        FileDialogSeam::setNextFileName(path("image.iso"));
        MessageBoxSeam::setNextAnswer(IDOK);
        MessageBoxSeam::setNextAnswer(IDNO);
        m_job->ActFILETOISOExecExecute();
        break;
    case NoticeJob::BlankDiscToImage:
        enterPage(&DriveLists::EnterCdToIsoPage);
        m_savePath.setText(path("nothing.iso"));
        m_job->ActCDTOISOExecExecute();
        break;
    }
    EXPECT_EQ(shownTexts().value(0), box);
    EXPECT_EQ(DesktopBus::notifiedSoFar(*daemon), row.windowActive ? QStringList() : QStringList {box});
}

INSTANTIATE_TEST_SUITE_P(
    Ends, JobEndNotification,
    ::testing::Values(
        NoticeRow {"burn_elsewhere", NoticeJob::Burn, false, "Writing is complete!"},
        NoticeRow {"burn_in_the_window", NoticeJob::Burn, true, "Writing is complete!"},
        NoticeRow {"image_elsewhere", NoticeJob::FilesToImage, false, "ISO File Created successfully!"},
        NoticeRow {"image_in_the_window", NoticeJob::FilesToImage, true, "ISO File Created successfully!"},
        NoticeRow {"image_failed_elsewhere", NoticeJob::BlankDiscToImage, false, "Error creating ISO File."},
        NoticeRow {"image_failed_in_the_window", NoticeJob::BlankDiscToImage, true,
                   "Error creating ISO File."}),
    [](const ::testing::TestParamInfo<NoticeRow> &row) { return std::string(row.param.name); });

} // namespace
