// kestrane-drive-bench: how long the window cannot react while slow drives answer. Drives the real
// main window offscreen over scripted drives whose every answer (the scan, opening a drive, its medium,
// the start of a job) takes SECONDS, with a 5 ms heartbeat timer on the window's thread, and prints the
// longest gap between its ticks while entering the CD -> ISO page at start-up, entering the burn page,
// burning and erasing (goal: at most 100 ms each). The peer, measured in the same run: the same engine
// calls made on the window's thread, as the window made them before its drive thread.
//   kestrane-drive-bench [SECONDS]     (default 3)
#include "BenchWindow.h"
#include "ScriptedDriveLayer.h"
#include "app/KestraneApplication.h"
#include "app/MessageBox.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveLists.h"
#include "jobs/EraseLauncher.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/MainFormSubsystems.h"
#include "mainwindow/TMainForm.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using Drives::DiscStatus;

constexpr int BenchWaitMs = 600000;

bool shownAlready(const QString &text)
{
    const auto &shown = MessageBoxSeam::shown();
    return std::any_of(shown.begin(), shown.end(), [&](const auto &s) { return s.text == text; });
}

// The longest gap between two ticks of a 5 ms timer on this thread while the phase runs.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { tick(); });
    }
    void start()
    {
        m_longest = 0;
        m_late = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    struct Figures
    {
        double longestMs;
        double phaseMs;
        int late; // gaps over 50 ms: one is a hiccup of a busy machine, many a stall of the window
    };
    Figures stop()
    {
        tick();
        m_timer.stop();
        return {static_cast<double>(m_longest) / 1e6, static_cast<double>(m_clock.nsecsElapsed()) / 1e6,
                m_late};
    }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_late += now - m_last > 50'000'000 ? 1 : 0;
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    int m_late = 0;
};

bool runUntil(const std::function<bool()> &done)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!done()) {
        if (deadline.elapsed() > BenchWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Milliseconds the calls take on this thread; drive jobs they start are waited for (not counted).
double blockingMs(const std::function<void()> &calls)
{
    QElapsedTimer clock;
    clock.start();
    calls();
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void report(const char *phase, const Heartbeat::Figures &stall, double peerMs)
{
    std::printf("%-32s longest event-loop stall %6.1f ms (goal 100; %d gaps over 50 ms) over %5.1f s; the "
                "same calls on the window's thread: %5.1f s (%.0fx)\n",
                phase, stall.longestMs, stall.late, stall.phaseMs / 1000.0, peerMs / 1000.0,
                stall.longestMs > 0 ? peerMs / stall.longestMs : 0.0);
}

void setMedium(DriveScript &drive, int profile, DiscStatus status)
{
    drive.medium.profile = profile;
    drive.medium.status = status;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setvbuf(stdout, nullptr, _IONBF, 0);
    const double seconds = argc > 1 ? std::max(0.001, std::atof(argv[1])) : 3.0;
    const auto delay = std::chrono::milliseconds(static_cast<qint64>(seconds * 1000));

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral("config"))));
    const QString iso = work.filePath(QStringLiteral("image.iso"));
    {
        QFile image(iso);
        if (!image.open(QIODevice::WriteOnly) || image.write(QByteArray(1 << 20, 'i')) != (1 << 20))
            return 1;
    }

    KestraneApplication app(argc, argv);
    PrepareBenchApplication();

    // A reader and a recorder with a blank DVD-R; every answer takes `delay`.
    auto layer = std::make_shared<LayerScript>();
    auto reader = scriptedDrive(QStringLiteral("/dev/sr0"), false, 0x10, DiscStatus::Full, {0x08, 0x10});
    auto writer = scriptedDrive(QStringLiteral("/dev/sr1"), true, 0x11, DiscStatus::Blank,
                                {0x09, 0x0a, 0x11, 0x13, 0x14});
    layer->drives = {reader, writer};
    layer->answerDelay = delay;
    std::printf("scripted drives answering in %.1f s each\n", seconds);

    // The peer: the calls each step makes, on this thread, as the window made them before.
    TDVDWriterPro2::setDriveLayer(std::make_unique<ScriptedDriveLayer>(layer));
    double peerCd = 0, peerBurnPage = 0, peerBurn = 0, peerErase = 0;
    {
        TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
        TDVDWriterPro2 eraser(TDVDWriterPro2::Instance::DVDWriterPro1);
        peerCd = blockingMs([&] {
            engine.InitializeDrives(0);
            DriveLists::DriveEntries(&engine, DriveLists::EveryDrive);
        });
        peerBurnPage = blockingMs([&] {
            engine.SelectDrive(1);
            if (const auto multiple =
                    DriveLists::WriteSpeedMultiple(engine.DiscType(), engine.MaxWriteSpeed()))
                engine.SetWriteSpeed(*multiple);
        });
        bool ended = false;
        QObject::connect(&engine, &TDVDWriterPro2::OnWriteComplete, &engine, [&ended] { ended = true; });
        QObject::connect(&eraser, &TDVDWriterPro2::OnEraseDiscComplete, &eraser, [&ended] { ended = true; });
        peerBurn = blockingMs([&] {
            engine.DiscType();
            engine.FreeBlocks();
            engine.BurnImageFile(iso);
        });
        if (!runUntil([&ended] { return ended; }))
            return 1;
        setMedium(*writer, 0x0a, DiscStatus::Full);
        ended = false;
        peerErase = blockingMs([&] {
            eraser.SelectDrive(1);
            eraser.DiscType();
            eraser.HasCapability(7);
            eraser.EraseDisc(true);
        });
        if (!runUntil([&ended] { return ended; }))
            return 1;
    }
    setMedium(*writer, 0x11, DiscStatus::Blank);
    // A fresh scan for the window: no drive is held when it starts.
    TDVDWriterPro2::setDriveLayer(std::make_unique<ScriptedDriveLayer>(layer));
    writer->acquired = false;

    Heartbeat heartbeat;
    TMainForm form;
    AdoptBenchWindows(form);
    DriveLists *lists = form.subsystems()->Drives.get();
    bool entryEnded = false;
    QObject::connect(lists, &DriveLists::pageEntryEnded, lists, [&entryEnded](bool) { entryEnded = true; });

    // Start-up: the scan runs while the window shows and enters its first page.
    heartbeat.start();
    form.show();
    form.ActionList1->ActCDTOISO->trigger();
    if (!runUntil([&] { return entryEnded; }) || form.cdPage()->CboCdList->count() != 2)
        return std::fprintf(stderr, "the CD -> ISO list did not fill\n"), 1;
    report("start-up, the CD -> ISO page:", heartbeat.stop(), peerCd);

    entryEnded = false;
    heartbeat.start();
    form.ActionList1->ActBURNISO->trigger();
    if (!runUntil([&] { return entryEnded; }) || form.burnPage()->CboCDRWList->count() != 1)
        return std::fprintf(stderr, "the burn page's list did not fill\n"), 1;
    report("entering the burn page:", heartbeat.stop(), peerBurnPage);

    form.burnPage()->EdtBurnISOPath->setText(iso);
    heartbeat.start();
    form.ActionList1->ActBURNISOExec->trigger();
    if (!runUntil([] { return shownAlready(QStringLiteral("Writing is complete!")); }))
        return std::fprintf(stderr, "the burn did not end\n"), 1;
    report("starting a burn (to its end):", heartbeat.stop(), peerBurn);

    // The erase window is modal: the click and the wait run inside its loop.
    bool settled = false;
    form.driveThread->ask(
        &form,
        [&] {
            setMedium(*writer, 0x0a, DiscStatus::Full);
            return true;
        },
        [&settled](std::optional<bool>) { settled = true; });
    if (!runUntil([&settled] { return settled; }))
        return 1;
    EraseLauncher *launcher = form.subsystems()->Erase.get();
    heartbeat.start();
    QTimer::singleShot(0, &form, [launcher] { launcher->currentEraseWindow()->cmdErase->click(); });
    form.burnPage()->suiImageButton20->Click();
    if (!runUntil([] { return shownAlready(QStringLiteral(" Erase     Completed!!!")); }))
        return std::fprintf(stderr, "the erase did not end\n"), 1;
    report("starting an erase (to its end):", heartbeat.stop(), peerErase);

    for (const auto &shown : MessageBoxSeam::shown())
        std::printf("message: %s\n",
                    qPrintable(QString(shown.text).replace(QLatin1Char('\r'), QLatin1Char(' '))));
    return 0;
}
