#include "main/Startup.h"
#include "TestSupport.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Registry.h"
#include "dialogs/TAboutForm.h"
#include "dialogs/TFormSplash.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "engine/drives/DriveLayer.h"
#include "engine/drives/LibburnDriveLayer.h"
#include "mainwindow/TMainForm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using TestSupport::readAll;
using TestSupport::writeAll;

namespace {

// A program folder, config and data folders of its own, and a run of the core as main() does it.
class StartupRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_program = m_root.filePath(QStringLiteral("Kestrane/"));
        QDir().mkpath(m_program + QStringLiteral("Image"));
        QFile::copy(QStringLiteral(KESTRANE_PROGRAM_DIR "/Image/Kestrane.jpg"),
                    m_program + QStringLiteral("Image/Kestrane.jpg"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_root.filePath(QStringLiteral("data"))));
        MessageBoxSeam::takeShown();
    }

    void TearDown() override
    {
        TestSupport::waitForMimeTool(m_root.path());
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }

    QString exePath() const { return m_program + QStringLiteral("kestrane"); }
    QString programFile(const char *name) const { return m_program + QLatin1String(name); }

    struct Outcome
    {
        qint64 firstPageAfterMs = -1;
        bool splashSeen = false;
        bool windowShownDuringPause = false; // on screen before the first page
        QString version;
        bool thankVisible = false;
        QString caption;
        QString page;
    };

    // Starts, waits for the first page, closes the main window.
    Outcome runOnce(const QStringList &arguments)
    {
        Outcome outcome;
        Startup startup(m_program, exePath(), arguments);
        TMainForm *main = startup.run();
        QElapsedTimer clock;
        clock.start();
        bool finished = false;
        QObject::connect(main, &TMainForm::firstShowFinished, main, [&] {
            finished = true;
            outcome.firstPageAfterMs = clock.elapsed();
        });
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
            if (main->secondaryWindows().FormSplash->isVisible())
                outcome.splashSeen = true;
            if (!finished && main->windowHandle() && main->windowHandle()->isVisible())
                outcome.windowShownDuringPause = true;
        });
        watch.start(50);
        EXPECT_TRUE(TestSupport::waitFor([&] { return finished; }, 10000));
        const TAboutForm *about = main->secondaryWindows().AboutForm;
        outcome.version = about->Version->text();
        outcome.thankVisible = !about->ThankButton->isHidden();
        outcome.caption = main->windowTitle();
        outcome.page = main->currentPageName();
        main->close();
        return outcome;
    }

    QTemporaryDir m_root;
    QString m_program;
};

TEST_F(StartupRun, FirstRunWritesDefaultsAndRegistry)
{
    const Outcome first = runOnce({});
    EXPECT_GE(first.firstPageAfterMs, 3900);
    EXPECT_TRUE(first.splashSeen);
    // The pause runs with the window already on screen, not before it appears.
    EXPECT_TRUE(first.windowShownDuringPause);
    EXPECT_EQ(first.version, QStringLiteral("Version:1.5"));
    EXPECT_FALSE(first.thankVisible);
    EXPECT_EQ(first.caption, QStringLiteral("Varnholt Kestrane"));
    EXPECT_EQ(first.page, QStringLiteral("CDTOISO"));
    EXPECT_EQ(readAll(programFile("Kestrane_option.ini")),
              QByteArray("\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\n"));
    EXPECT_EQ(readAll(programFile("Kestrane_skinfile.ini")), QByteArray("\r\n[data]\r\nskinfile=1\r\n"));
    EXPECT_EQ(readAll(RegistryFilePath()),
              QByteArray("\r\n[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\nFirstRun=false\r\nPath=") +
                  QFile::encodeName(exePath()) + "\r\n");
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());

    // The next start is not a first run: one second.
    const Outcome second = runOnce({});
    EXPECT_GE(second.firstPageAfterMs, 900);
    EXPECT_LT(second.firstPageAfterMs, 3500);
}

TEST_F(StartupRun, HandEditedSettingsSurviveAndChangeSkinIsRewritten)
{
    writeAll(programFile("Kestrane_option.ini"), "[option]\r\nShowToolbar=0\r\nChangeSkin=0\r\n");
    writeAll(programFile("Kestrane_skinfile.ini"), "[data]\r\nskinfile=ocean blue\r\n");
    writeAll(programFile("Kestrane_verdata.ini"), "[data]\r\nversion=2.0.1\r\n");
    writeAll(programFile("Kestrane_thank.txt"), "Thanks\r\n");
    QDir().mkpath(QFileInfo(RegistryFilePath()).absolutePath());
    // "False" is not "false": still a first run, and the old Path is replaced.
    writeAll(RegistryFilePath(),
             "[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\nFirstRun=False\r\nPath=/old/kestrane\r\n");

    const Outcome run = runOnce({QStringLiteral("-nosplash")});
    EXPECT_GE(run.firstPageAfterMs, 3900);
    EXPECT_FALSE(run.splashSeen);
    EXPECT_TRUE(run.windowShownDuringPause);
    EXPECT_EQ(run.version, QStringLiteral("Version:2.0.1"));
    EXPECT_TRUE(run.thankVisible);
    EXPECT_EQ(readAll(programFile("Kestrane_option.ini")),
              QByteArray("[option]\r\nShowToolbar=0\r\nChangeSkin=1\r\n"));
    EXPECT_EQ(readAll(programFile("Kestrane_skinfile.ini")), QByteArray("[data]\r\nskinfile=ocean blue\r\n"));
    EXPECT_EQ(readAll(RegistryFilePath()),
              QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\nFirstRun=false\r\nPath=") +
                  QFile::encodeName(exePath()) + "\r\n");
}

TEST_F(StartupRun, EmptyVersionValueAndSplashSwitchSpelling)
{
    writeAll(programFile("Kestrane_verdata.ini"), "[data]\r\nversion=\r\n");
    QDir().mkpath(QFileInfo(RegistryFilePath()).absolutePath());
    writeAll(RegistryFilePath(), "[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\nFirstRun=false\r\n");
    const Outcome run = runOnce({QStringLiteral("-NOSPLASH"), QStringLiteral("nosplash")});
    EXPECT_TRUE(run.splashSeen);
    EXPECT_EQ(run.version, QStringLiteral("Version:1.5"));
    EXPECT_LT(run.firstPageAfterMs, 3500);
}

TEST_F(StartupRun, APageChosenDuringThePauseStaysCurrent)
{
    QDir().mkpath(QFileInfo(RegistryFilePath()).absolutePath());
    writeAll(RegistryFilePath(), "[HKEY_LOCAL_MACHINE\\Software\\Kestrane]\r\nFirstRun=false\r\n");
    Startup startup(m_program, exePath(), {QStringLiteral("-nosplash")});
    TMainForm *main = startup.run();
    bool finished = false;
    QObject::connect(main, &TMainForm::firstShowFinished, main, [&] { finished = true; });
    // The window is on screen before the pause ends (the pause runs its own loop, so the click comes
    // from a timer inside it); a click on a page button then counts.
    bool clickedDuringPause = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        if (main->windowHandle() && main->windowHandle()->isVisible()) {
            watch.stop();
            clickedDuringPause = !finished;
            main->ActionList1->ActFILETOISO->trigger();
        }
    });
    watch.start(10);
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished; }, 10000));
    EXPECT_TRUE(clickedDuringPause);
    EXPECT_EQ(main->currentPageName(), QStringLiteral("FILETOISO"));
    main->close();
}

TEST(StartupArguments, OnlyTheExactSwitchSuppressesTheSplash)
{
    const struct
    {
        QStringList arguments;
        bool suppressed;
    } rows[] = {
        {{}, false},
        {{QStringLiteral("-nosplash")}, true},
        {{QStringLiteral("list.mst"), QStringLiteral("x"), QStringLiteral("-nosplash")}, true},
        {{QStringLiteral("-NOSPLASH")}, false},
        {{QStringLiteral("nosplash")}, false},
        {{QStringLiteral("-nosplash ")}, false},
        {{QStringLiteral("--nosplash")}, false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Startup::splashSuppressed(row.arguments), row.suppressed)
            << row.arguments.join(' ').toStdString();
}

TEST_F(StartupRun, UnreadableSettingsAndUnwritableFolderAreReportedAndTheProgramGoesOn)
{
    // A folder where the option file should be cannot be read as a file, even by root.
    QDir().mkpath(programFile("Kestrane_option.ini"));
    // The registry folder cannot be made under a plain file: the run counts as a first run.
    writeAll(m_root.filePath(QStringLiteral("config")), "not a folder");

    Startup startup(m_program, exePath(), {QStringLiteral("-nosplash")});
    TMainForm *main = startup.run();
    bool finished = false;
    QObject::connect(main, &TMainForm::firstShowFinished, main, [&] { finished = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return finished; }, 10000));
    EXPECT_TRUE(Globals().FirstRun);
    auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 0);
    EXPECT_EQ(
        shown[0].text,
        QStringLiteral("Cannot open file \"%1\". Is a directory.").arg(programFile("Kestrane_option.ini")));

    // The program folder vanishes before close: reported, and the window still closes.
    QDir(m_program).removeRecursively();
    EXPECT_TRUE(main->close());
    shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text,
              QStringLiteral("Cannot create file \"%1\". No such file or directory.")
                  .arg(programFile("Kestrane_skinfile.ini")));
    EXPECT_FALSE(main->isVisible());
}

// A drive library that cannot start.
class DeadDriveLayer final : public Drives::DriveLayer
{
public:
    bool start() override { return false; }
    std::vector<Drives::DriveDescription> scan() override { return {}; }
    std::unique_ptr<Drives::Drive> drive(const Drives::DriveDescription &) override { return nullptr; }
    std::vector<Drives::LibraryMessage> takeMessages() override { return {}; }
};

TEST_F(StartupRun, DrivesThatCannotStartAreReportedBeforeTheFirstShow)
{
    TDVDWriterPro2::setDriveLayer(std::make_unique<DeadDriveLayer>());
    Startup startup(m_program, exePath(), {QStringLiteral("-nosplash")});
    TMainForm *main = startup.run();
    EXPECT_FALSE(main->isVisible());
    bool finished = false;
    QObject::connect(main, &TMainForm::firstShowFinished, main, [&] { finished = true; });
    // The scan runs on the drive thread: its failure is reported when its answer comes.
    ASSERT_TRUE(
        TestSupport::waitForMessage(QStringLiteral("Drives Cannot be initialized...Contact support!")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("Drives Cannot be initialized...Contact support!"));
    EXPECT_EQ(shown[0].kind, 1);
    EXPECT_EQ(shown[0].caption, QStringLiteral("Kestrane"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return finished; }, 10000));
    EXPECT_EQ(main->currentPageName(), QStringLiteral("CDTOISO"));
    main->close();
    // The drive thread has done the page's work before the layer is changed under it.
    bool settled = false;
    main->driveThread->ask(
        main, [] { return true; }, [&](std::optional<bool>) { settled = true; });
    EXPECT_TRUE(TestSupport::waitFor([&] { return settled; }, 10000));
    TDVDWriterPro2::setDriveLayer(std::make_unique<Drives::LibburnDriveLayer>());
}

} // namespace
