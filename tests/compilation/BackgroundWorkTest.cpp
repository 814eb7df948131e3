// The page's work away from the UI thread: the size computed on its own thread and coalesced, and
// Load List running beside the event loop with conflicting commands refused meanwhile.
#include "CompilationFixture.h"

#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/MessageBox.h"
#include "core/SizeTexts.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <cmath>
#include <thread>

namespace {

const QString StillAdding =
    QStringLiteral("Files are still being added to the image. Please wait until this is finished.");

class BackgroundWorkFixture : public CompilationFixture
{
protected:
    // The text the root shows for the image as the engine holds it now.
    QString exactRootText()
    {
        const qint64 bytes = m_engine->ImageHasItems()
            ? std::llround(TDVDWriterPro2::BlocksToBytes(m_engine->ImageSizeBlocks(), 1))
            : 0;
        return m_engine->VolumeIdentifier() + QStringLiteral("  {") + SizeTexts::megabytes(bytes) +
            QLatin1Char('}');
    }

    // A list file of `count` lines: `sources` files spread over count / sources image folders.
    QString writeList(int count, int sources)
    {
        QByteArray bytes = "filelist\r\n";
        for (int i = 0; i < sources; ++i)
            makeFile(QStringLiteral("s/f%1.txt").arg(i), 10);
        for (int i = 0; i < count; ++i)
            bytes += QFile::encodeName(src(QStringLiteral("s/f%1.txt").arg(i % sources))) + "|\\L\\d" +
                QByteArray::number(i / sources) + "\\\r\n";
        const QString path = m_dir.filePath(QStringLiteral("list.mst"));
        TestSupport::writeAll(path, bytes);
        return path;
    }

    void startLoad(const QString &path)
    {
        FileDialogSeam::setNextFileName(path);
        m_page->ActLoadFileListExecute();
    }

    // Every root text shown from now on.
    QStringList *recordShownSizes()
    {
        if (!m_recording) {
            QObject::connect(m_page.get(), &CompilationPage::SizeShown, m_page.get(),
                             [this] { m_shown.append(m_tree->topLevelItem(0)->text(0)); });
            m_recording = true;
        }
        m_shown.clear();
        return &m_shown;
    }

    QStringList m_shown;
    bool m_recording = false;
};

} // namespace

TEST_F(BackgroundWorkFixture, AChangeDuringAComputationShowsTheNewerSizeNeverTheOlder)
{
    struct Row
    {
        const char *name;
        int changes; // each in its own turn of the event loop, so that each starts its computation
        bool waitForTheOlderComputation; // it has ended, its answer not yet delivered
    };
    // Three changes: the third finds two computations running and must wait for a free one.
    const Row table[] = {{"change while the older size is still computed", 2, false},
                         {"change after the older size was computed", 2, true},
                         {"three changes while the older sizes are computed", 3, false}};
    // Thousands of names that collide in 8.3 keep each computation busy while the next change comes.
    for (int i = 0; i < 4000; ++i)
        makeFile(QStringLiteral("Flat/name%1.txt").arg(i, 6, 10, QLatin1Char('0')), 0);
    for (const Row &row : table) {
        SCOPED_TRACE(row.name);
        m_page->ClearCompilation();
        settle();
        m_engine->AddFolder(QStringLiteral("\\Flat"), src(QStringLiteral("Flat/*.*")));
        QStringList *shown = recordShownSizes();
        for (int change = 0; change < row.changes; ++change) {
            m_engine->AddFile(QStringLiteral("\\c%1.bin").arg(change),
                              makeFile(QStringLiteral("c%1.bin").arg(change), 3 * 1048576));
            m_page->UpdateImageStatistics();
            // Starts the computation; its answer cannot be delivered before the next turn.
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            if (row.waitForTheOlderComputation && change == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        settle();
        // Every change added 3 MB: an older size shown on the way would be a second, smaller text.
        EXPECT_EQ(*shown, QStringList {exactRootText()});
        EXPECT_EQ(m_tree->topLevelItem(0)->text(0), exactRootText());
    }
}

TEST_F(BackgroundWorkFixture, ABurstOfChangesShowsOneSizeAndTheLastTextStaysUntilThen)
{
    const QString before = root()->text(0);
    QStringList *shown = recordShownSizes();
    for (int i = 0; i < 10; ++i) {
        m_engine->AddFile(QStringLiteral("\\f%1.bin").arg(i),
                          makeFile(QStringLiteral("f%1.bin").arg(i), 1048576));
        m_page->RefreshCompilation();
        // Nothing is shown before the event loop delivers the answer.
        EXPECT_EQ(m_tree->topLevelItem(0)->text(0), before);
    }
    settle();
    EXPECT_EQ(*shown, QStringList {exactRootText()});
    EXPECT_EQ(rows().size(), 10);
}

TEST_F(BackgroundWorkFixture, AClickDuringASizeComputationListsTheFolderOnceTheSizeIsKnown)
{
    // Thousands of names that collide in 8.3 keep libisofs busy for a while at level 1.
    makeFile(QStringLiteral("Small/a.txt"), 1000);
    m_engine->AddFolder(QStringLiteral("\\Small"), src(QStringLiteral("Small/*.*")));
    for (int i = 0; i < 8000; ++i)
        makeFile(QStringLiteral("Flat/name%1.txt").arg(i, 6, 10, QLatin1Char('0')), 0);
    m_engine->AddFolder(QStringLiteral("\\Flat"), src(QStringLiteral("Flat/*.*")));
    m_page->RefreshCompilation();
    const QStringList rootRows = rows();
    QDeadlineTimer deadline(10000);
    while (!m_page->isSizeComputing() && m_page->isSizePending() && !deadline.hasExpired())
        QCoreApplication::processEvents(); // the computation starts in the next turn
    ASSERT_TRUE(m_page->isSizeComputing());

    QTreeWidgetItem *small = node(QStringLiteral("\\Small"));
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                      m_tree->visualItemRect(small).center());
    // The click did not wait for the engine: the list is as it was, the hourglass shows.
    EXPECT_EQ(rows(), rootRows);
    EXPECT_EQ(m_window->cursor().shape(), Qt::WaitCursor);
    settle();
    EXPECT_EQ(rows(), QStringList {QStringLiteral("a.txt|1.00 KB")});
    EXPECT_EQ(m_page->LastClickedView(), CompilationPage::TreeView);
    EXPECT_NE(m_window->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(m_tree->topLevelItem(0)->text(0), exactRootText());
}

TEST_F(BackgroundWorkFixture, ThePageCanGoWhileThePickersAddRuns)
{
    // Folders all through the walk: the add reports them to the page until its very end.
    for (int i = 0; i < 2000; ++i)
        makeFile(QStringLiteral("Many/d%1/f.txt").arg(i), 0);
    Q_EMIT m_picker->addPressed({PickedItem {src(QStringLiteral("Many")), QStringLiteral("Many"), true}});
    ASSERT_TRUE(m_page->isAdding());
    // The window closing: the add still reports to the page while the page waits for it.
    m_page.reset();
    EXPECT_EQ(m_engine->ListItems(QStringLiteral("\\Many")).size(), 2000u);
}

TEST_F(BackgroundWorkFixture, CommandsThatConflictWithARunningLoadAreRefused)
{
    const QString list = writeList(2000, 100);
    const QString old = makeFile(QStringLiteral("old.txt"), 10);
    m_engine->AddFile(QStringLiteral("\\old.txt"), old);
    m_page->RefreshCompilation();
    settle();
    clickNode(m_tree->topLevelItem(0));

    MessageBoxSeam::takeShown();
    FileDialogSeam::takeAsked();
    startLoad(list);
    // Until the event loop hears that the load has ended it runs, whatever its thread has done.
    ASSERT_TRUE(m_page->isAdding());
    struct Command
    {
        const char *name;
        std::function<void()> run;
    };
    const Command commands[] = {
        {"Load List",
         [this] {
             m_page->ActLoadFileListExecute();
         }},
        {"Clear",
         [this] {
             m_page->ClearCompilation();
         }},
        {"Save List",
         [this] {
             m_page->ActSaveFileListExecute();
         }},
        {"Add File",
         [this] {
             m_page->ActFileAddExecute();
         }},
        {"Remove",
         [this] {
             m_page->RemoveSelectedItems();
         }},
        {"Make ISO",
         [this] {
             m_page->refuseWhileAdding();
         }},
    };
    for (const Command &command : commands) {
        SCOPED_TRACE(command.name);
        command.run();
        const auto shown = MessageBoxSeam::takeShown();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, StillAdding);
    }
    // Only the load's own dialog was asked; the refused ones asked nothing.
    EXPECT_EQ(FileDialogSeam::takeAsked().size(), 1);
    EXPECT_FALSE(m_picker->isVisible());

    settle();
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    // The load replaced the compilation whole: 20 folders of 100 files, old.txt gone.
    EXPECT_EQ(node(QStringLiteral("\\old.txt")), nullptr);
    QStringList folders;
    for (int i = 0; i < 20; ++i)
        folders.append(QStringLiteral("\\L\\d%1").arg(i));
    for (const QString &folder : folders) {
        ASSERT_NE(node(folder), nullptr) << folder.toStdString();
        EXPECT_EQ(m_engine->ListItems(folder).size(), 100u) << folder.toStdString();
    }
    EXPECT_EQ(rows(), QStringList()); // the root holds only the folder L
    EXPECT_EQ(root()->text(0), exactRootText());
    // And the page takes commands again.
    m_page->ClearCompilation();
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    EXPECT_EQ(root()->text(0), QStringLiteral("New Disc  {0.00 MB}"));
}

TEST_F(BackgroundWorkFixture, ACancelledLoadLeavesNoPartOfTheListBehind)
{
    const QString list = writeList(20000, 200);
    startLoad(list);
    m_page->CancelAdding();
    settle();
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    // A load that ended before the cancel reached it holds every line; otherwise nothing is left.
    const bool whole = m_engine->ImageHasItems();
    if (whole) {
        EXPECT_EQ(m_engine->ListItems(QStringLiteral("\\L")).size(), 100u);
    } else {
        EXPECT_EQ(treeShape(), QStringList {QStringLiteral("\\")});
        EXPECT_EQ(root()->text(0), exactRootText());
    }
}

TEST_F(BackgroundWorkFixture, TheImageWrittenAfterALoadOf100000FilesHoldsEveryFile)
{
    constexpr int Files = 100000;
    constexpr int Sources = 1000;
    const QString list = writeList(Files, Sources);
    startLoad(list);
    settle();
    ASSERT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    EXPECT_EQ(m_tree->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), exactRootText());

    const QString iso = m_dir.filePath(QStringLiteral("big.iso"));
    ASSERT_TRUE(m_engine->WriteImageFile(iso)) << m_engine->LastImageError().toStdString();
    QProcess isoinfo;
    isoinfo.start(QStringLiteral("isoinfo"),
                  {QStringLiteral("-R"), QStringLiteral("-f"), QStringLiteral("-i"), iso});
    ASSERT_TRUE(isoinfo.waitForFinished(120000));
    int files = 0;
    int folders = 0;
    for (const QByteArray &line : isoinfo.readAllStandardOutput().split('\n')) {
        if (line.startsWith("/L/d") && line.endsWith(".txt"))
            ++files;
        else if (line.startsWith("/L/d"))
            ++folders;
    }
    EXPECT_EQ(files, Files);
    EXPECT_EQ(folders, Files / Sources);
}
