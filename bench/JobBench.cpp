// kestrane-job-bench: how long the window cannot react while the jobs run. Drives the real main
// window offscreen through a files-to-image job whose image is then burnt at once to a virtual drive,
// with a 5 ms heartbeat timer on the window's thread, and prints the longest gap between its ticks
// during the image write and during the burn (goal: at most 100 ms each), with the job times.
//   kestrane-job-bench [MEGABYTES]     (default 1024: the size of the compilation)
#include "BenchWindow.h"
#include "app/FileDialogs.h"
#include "app/KestraneApplication.h"
#include "app/MessageBox.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/TFrmConvertProcess.h"
#include "mainwindow/TMainForm.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

bool shownAlready(const QString &text)
{
    const auto &shown = MessageBoxSeam::shown();
    return std::any_of(shown.begin(), shown.end(), [&](const auto &s) { return s.text == text; });
}

bool makeCompilation(const QString &folder, qint64 megabytes)
{
    if (!QDir().mkpath(folder + QStringLiteral("/small")))
        return false;
    // Most of the bytes in one big file, the rest in a thousand small ones.
    QFile big(folder + QStringLiteral("/big.bin"));
    if (!big.open(QIODevice::WriteOnly))
        return false;
    const QByteArray chunk(1 << 20, 'k');
    for (qint64 i = 0; i < megabytes; ++i) {
        if (big.write(chunk) != chunk.size())
            return false;
    }
    for (int i = 0; i < 1000; ++i) {
        QFile file(folder + QStringLiteral("/small/f%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(3000, 's')) != 3000)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    setvbuf(stdout, nullptr, _IONBF, 0);
    const qint64 megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1024;

    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    const QString sources = work.filePath(QStringLiteral("src"));
    std::printf("making a compilation of %lld MB under %s\n", static_cast<long long>(megabytes),
                qPrintable(work.path()));
    if (!makeCompilation(sources, megabytes)) {
        std::fprintf(stderr, "cannot make the compilation\n");
        return 1;
    }
    const QString drive = work.filePath(QStringLiteral("recorder.iso"));
    qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(drive));
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(work.filePath(QStringLiteral("config"))));

    KestraneApplication app(argc, argv);
    PrepareBenchApplication();

    TMainForm form;
    const SecondaryWindows windows = AdoptBenchWindows(form);
    form.show();
    form.ActionList1->ActFILETOISO->trigger();
    form.DVDWriterPro21->AddFolder(QStringLiteral("\\"), sources + QStringLiteral("/*.*"));
    form.ActionList1->ActFILETOISO->trigger();

    // The heartbeat: the longest gap between ticks, kept apart for the write and the burn.
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 writeStall = 0;
    qint64 burnStall = 0;
    qint64 writeEnd = -1;
    bool seenWriting = false;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
        const qint64 now = clock.nsecsElapsed();
        const bool writing = windows.FrmConvertProcess->isVisible();
        seenWriting = seenWriting || writing;
        if (seenWriting && !writing && writeEnd < 0)
            writeEnd = now;
        qint64 &stall = writing || writeEnd < 0 ? writeStall : burnStall;
        stall = std::max(stall, now - last);
        last = now;
    });

    const QString iso = work.filePath(QStringLiteral("made.iso"));
    FileDialogSeam::setNextFileName(iso);
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    MessageBoxSeam::setNextAnswer(IDOK);
    const qint64 start = clock.nsecsElapsed();
    heartbeat.start();
    // The click runs the whole image job inside the progress window's modal loop.
    QTimer::singleShot(0, &form, [&] { form.ActionList1->ActFILETOISOExec->trigger(); });
    QElapsedTimer deadline;
    deadline.start();
    while (!shownAlready(QStringLiteral("Writing is complete!")) && deadline.elapsed() < 600000) {
        if (shownAlready(QStringLiteral("Error creating ISO File.")) ||
            shownAlready(QStringLiteral("Error Writing ISO File."))) {
            std::fprintf(stderr, "the job failed\n");
            return 1;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const qint64 end = clock.nsecsElapsed();
    heartbeat.stop();
    if (!shownAlready(QStringLiteral("Writing is complete!"))) {
        std::fprintf(stderr, "the burn did not end in time\n");
        return 1;
    }
    const double mb = static_cast<double>(QFileInfo(iso).size()) / 1e6;
    const double writeSeconds = static_cast<double>(writeEnd - start) / 1e9;
    const double burnSeconds = static_cast<double>(end - writeEnd) / 1e9;
    std::printf("image write: %.0f MB in %.2f s; longest event-loop stall %.0f ms (goal 100)\n", mb,
                writeSeconds, static_cast<double>(writeStall) / 1e6);
    std::printf("burn to a virtual drive: %.2f s; longest event-loop stall %.0f ms (goal 100)\n", burnSeconds,
                static_cast<double>(burnStall) / 1e6);
    std::printf("drive file equals the image: %s\n",
                QFileInfo(drive).size() == QFileInfo(iso).size() ? "yes (same size)" : "NO");
    return 0;
}
