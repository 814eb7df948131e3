// kestrane-page-bench: the FILETOISO page itself, offscreen, on trees it makes in a temporary
// folder. Measures adding 100,000 files in 1,000 folders (the tree growing from the engine's
// events) and the refresh after it, listing a folder of 50,000 files against the bare engine
// enumeration of the same folder, removing one file with its refresh, and the longest stall of
// the event loop during the add.
#include "app/GlobalSettings.h"
#include "compilation/CompilationPage.h"
#include "engine/TDVDWriterPro2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int FilesPerFolder = 100;
constexpr int FlatFiles = 50000;
constexpr int Rounds = 5;

bool makeFiles(const QString &folder, int count)
{
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray content(100, 'k');
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/file%1.txt").arg(i, 6, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return false;
    }
    return true;
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the steps one per turn of the event loop and answers the longest gap between the ticks of
// a 1 ms timer meanwhile: how long the window could not react.
double longestStall(const std::vector<std::function<void()>> &steps)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start();
    QEventLoop loop;
    std::size_t next = 0;
    std::function<void()> runNext = [&] {
        if (next == steps.size()) {
            QTimer::singleShot(20, &loop, &QEventLoop::quit);
            return;
        }
        steps[next++]();
        // A few ticks between the steps, so that each step's stall is measured on its own.
        QTimer::singleShot(5, &loop, runNext);
    };
    QTimer::singleShot(10, &loop, runNext);
    loop.exec();
    return static_cast<double>(longest) / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The number of folders of 100 files may be given for a quicker run; the figures in the
    // reports are for the default.
    const int Folders = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    Globals().ExeFolder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
    setvbuf(stdout, nullptr, _IONBF, 0);

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("making %d files in %d folders and a folder of %d files under %s\n", Folders * FilesPerFolder,
                Folders, FlatFiles, qPrintable(dir.path()));
    for (int f = 0; f < Folders; ++f) {
        if (!makeFiles(dir.filePath(QStringLiteral("big/d%1/e%2").arg(f / 100).arg(f)), FilesPerFolder)) {
            std::fprintf(stderr, "cannot make the source tree\n");
            return 1;
        }
    }
    if (!makeFiles(dir.filePath(QStringLiteral("flat")), FlatFiles)) {
        std::fprintf(stderr, "cannot make the flat folder\n");
        return 1;
    }

    QWidget window;
    window.resize(718, 463);
    auto *layout = new QHBoxLayout(&window);
    auto *splitter = new QSplitter(&window);
    layout->addWidget(splitter);
    auto *tree = new QTreeWidget(splitter);
    auto *list = new QTreeWidget(splitter);
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro21);
    QStringList buffer;
    CompilationControls controls;
    controls.MainForm = &window;
    controls.DVDWriterPro21 = &engine;
    controls.TsListDir = tree;
    controls.LsviewFile = list;
    controls.Splitter1 = splitter;
    controls.FileListBuffer = &buffer;
    CompilationPage page(controls);
    window.show();
    page.EnterFileToIsoPage();
    QCoreApplication::processEvents();

    // The add, and the refresh after it, each in its own turn of the event loop.
    double addSeconds = 0;
    double refreshSeconds = 0;
    const double stall = longestStall({
        [&] {
            addSeconds = seconds([&] {
                engine.AddFolder(QStringLiteral("\\big"), dir.filePath(QStringLiteral("big")) + "/*.*");
            });
        },
        [&] { refreshSeconds = seconds([&] { page.RefreshCompilation(); }); },
    });
    int nodes = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++nodes;
    std::printf("add %d files in %d folders through AddFolder: %.3f s (%d tree nodes)\n",
                Folders * FilesPerFolder, Folders, addSeconds, nodes);
    std::printf("RefreshCompilation after it (root listed, size computed): %.3f s\n", refreshSeconds);
    std::printf("longest event-loop stall during add and refresh: %.3f s\n", stall);
    std::printf("root: %s\n", qPrintable(tree->topLevelItem(0)->text(0)));

    engine.AddFolder(QStringLiteral("\\flat"), dir.filePath(QStringLiteral("flat")) + "/*.*");
    page.RefreshCompilation();

    // The same folder in an engine of its own with a receiver that does nothing: the bare cost of
    // the enumeration and its events.
    TDVDWriterPro2 bare(TDVDWriterPro2::Instance::DVDWriterPro21);
    bare.AddFolder(QStringLiteral("\\flat"), dir.filePath(QStringLiteral("flat")) + "/*.*");
    int seen = 0;
    QObject::connect(&bare, &TDVDWriterPro2::OnEnumISOItems, &bare, [&seen] { ++seen; });

    std::vector<double> bareTimes, listTimes, shownTimes;
    for (int round = 0; round < Rounds; ++round) {
        seen = 0;
        bareTimes.push_back(seconds([&] { bare.EnumItems(QStringLiteral("\\flat")); }));
        listTimes.push_back(seconds([&] { page.ShowFolderFiles(QStringLiteral("\\flat")); }));
        // Until the list has laid out and painted its rows.
        shownTimes.push_back(seconds([&] {
            page.ShowFolderFiles(QStringLiteral("\\flat"));
            QCoreApplication::processEvents();
            list->viewport()->repaint();
        }));
    }
    const double bareMedian = median(bareTimes);
    const double listMedian = median(listTimes);
    const double shownMedian = median(shownTimes);
    std::printf("bare EnumItems of 50,000 files: %.3f s (%d events)\n", bareMedian, seen);
    std::printf(
        "ShowFolderFiles of 50,000 files: %.3f s (%d rows), ratio to bare EnumItems %.2f (goal <= 2)\n",
        listMedian, list->topLevelItemCount(), listMedian / bareMedian);
    std::printf("ShowFolderFiles until painted: %.3f s, ratio %.2f\n", shownMedian, shownMedian / bareMedian);

    // Removing one file from the listed folder, with its refresh.
    QTreeWidgetItem *flatNode = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, CompilationPage::DestPathRole).toString() == QStringLiteral("\\flat"))
            flatNode = *it;
    }
    tree->setCurrentItem(flatNode);
    page.TsListDirClick();
    list->setCurrentItem(list->topLevelItem(FlatFiles / 2));
    page.LsviewFileClick();
    const double removal = seconds([&] { page.RemoveSelectedItems(); });
    std::printf("remove one file of the 50,000 and refresh: %.3f s (%d rows left)\n", removal,
                list->topLevelItemCount());
    // The engine's part of it: the removal and the new size, on the bare engine's copy.
    const double engineRemoval = seconds([&] {
        bare.RemoveItem(QStringLiteral("\\flat\\file025000.txt"));
        bare.ImageSizeBlocks();
    });
    std::printf("  of which the engine alone (RemoveItem + ImageSizeBlocks, 50,000 files): %.3f s\n",
                engineRemoval);
    return 0;
}
