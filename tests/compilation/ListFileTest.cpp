// Saving and loading list files on the page, with the real engine.
#include "CompilationFixture.h"

#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/MessageBox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <sys/stat.h>

namespace {

const QString NotAListFile =
    QStringLiteral("The list file is not accord with the standard fomrat. Please select another one again.");
const QString LoadError = QStringLiteral("File load error, please redo it.");

class ListFileFixture : public CompilationFixture
{
protected:
    QString listPath(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QByteArray save(const char *name)
    {
        FileDialogSeam::setNextFileName(listPath(name));
        m_page->ActSaveFileListExecute();
        return TestSupport::readAll(listPath(name));
    }

    QStringList load(const QString &path)
    {
        MessageBoxSeam::takeShown();
        FileDialogSeam::setNextFileName(path);
        m_page->ActLoadFileListExecute();
        settle();
        QStringList texts;
        for (const MessageBoxSeam::Shown &box : MessageBoxSeam::takeShown())
            texts.append(box.text);
        return texts;
    }

    // Every node with the files it lists, as a click on it shows them.
    QStringList contents()
    {
        QStringList lines;
        QList<QTreeWidgetItem *> nodes;
        for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
            nodes.append(*it);
        for (QTreeWidgetItem *item : nodes) {
            clickNode(item);
            QStringList files = rows();
            files.sort();
            lines.append(item->data(0, CompilationPage::DestPathRole).toString() + QStringLiteral(": ") +
                         files.join(QLatin1Char(' ')));
        }
        return lines;
    }
};

} // namespace

TEST_F(ListFileFixture, SaveWritesEveryFileFromTheTopDown)
{
    EXPECT_EQ(save("empty.mst"), QByteArray("filelist\r\n"));

    makeFile(QStringLiteral("r.txt"), 3);
    makeFile(QStringLiteral("Docs/a.txt"), 3);
    makeFile(QStringLiteral("Docs/Sub/b.txt"), 3);
    m_engine->AddFile(QStringLiteral("\\r.txt"), src(QStringLiteral("r.txt")));
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_page->RefreshCompilation();
    clickNode(node(QStringLiteral("\\Docs\\Sub")));
    FileDialogSeam::takeAsked();

    const QByteArray s = QFile::encodeName(src(QString()));
    EXPECT_EQ(save("list.mst"),
              "filelist\r\n" + s + "r.txt|\\\r\n" + s + "Docs/a.txt|\\Docs\\\r\n" + s +
                  "Docs/Sub/b.txt|\\Docs\\Sub\\\r\n");
    const QList<FileDialogSeam::Asked> asked = FileDialogSeam::takeAsked();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].save);
    EXPECT_EQ(asked[0].filter, QStringLiteral("ISO List File(*.mst)|*.mst"));
    EXPECT_EQ(asked[0].defaultExt, QStringLiteral(".txt"));
    EXPECT_EQ(m_page->fileListBuffer().size(), 4);
    // The selected folder is listed again, as before the save.
    EXPECT_EQ(rows(), QStringList {QStringLiteral("b.txt|0.00 KB")});
    EXPECT_EQ(m_page->LastClickedView(), 1);

    // Cancelled: nothing written, the old file stays.
    TestSupport::writeAll(listPath("keep.mst"), "old");
    FileDialogSeam::setNextFileName(QString());
    m_page->ActSaveFileListExecute();
    EXPECT_EQ(TestSupport::readAll(listPath("keep.mst")), QByteArray("old"));

    // A folder that cannot be written to reaches the error box.
    MessageBoxSeam::takeShown();
    FileDialogSeam::setNextFileName(m_dir.filePath(QStringLiteral("missing/folder/list.mst")));
    m_page->ActSaveFileListExecute();
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 0);
}

TEST_F(ListFileFixture, RoundTripKeepsFoldersWithFilesAndLosesTheEmptyOne)
{
    makeFile(QStringLiteral("Docs/a.txt"), 1536);
    makeFile(QStringLiteral("Docs/Sub/b.txt"), 2000);
    makeFile(QStringLiteral("Docs/Sub/Deeper/c.txt"), 1);
    makeDir(QStringLiteral("Docs/Empty"));
    makeFile(QStringLiteral("Photos/x.jpg"), 99999);
    makeFile(QStringLiteral("r.txt"), 5);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_engine->AddFolder(QStringLiteral("\\Photos"), src(QStringLiteral("Photos/*.*")));
    m_engine->AddFile(QStringLiteral("\\r.txt"), src(QStringLiteral("r.txt")));
    m_page->RefreshCompilation();
    QStringList before = treeShape();
    const QStringList beforeContents = contents();
    m_engine->setVolumeIdentifier(QStringLiteral("Trip"));
    save("trip.mst");

    m_page->ClearCompilation();
    makeFile(QStringLiteral("Other/o.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Other"), src(QStringLiteral("Other/*.*")));
    m_page->RefreshCompilation();
    EXPECT_EQ(load(listPath("trip.mst")), QStringList());

    before.removeAll(QStringLiteral("    \\Docs\\Empty"));
    QStringList expectedContents = beforeContents;
    expectedContents.removeAll(QStringLiteral("\\Docs\\Empty: "));
    QStringList after = treeShape();
    // Folders come back in the order their files' lines name them; compare as sets of lines.
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
    QStringList afterContents = contents();
    std::sort(afterContents.begin(), afterContents.end());
    std::sort(expectedContents.begin(), expectedContents.end());
    EXPECT_EQ(afterContents, expectedContents);
    EXPECT_EQ(node(QStringLiteral("\\Other")), nullptr);
    // The label is not kept: the root shows the engine's label after the reset.
    EXPECT_TRUE(root()->text(0).startsWith(QStringLiteral("New Disc  {"))) << root()->text(0).toStdString();
}

TEST_F(ListFileFixture, BadListsGiveTheirMessageAndNeverTakeTheLoadDown)
{
    const QString good = makeFile(QStringLiteral("good.txt"), 10);
    const QString second = makeFile(QStringLiteral("second.txt"), 10);
    const QByteArray g = QFile::encodeName(good);
    const QByteArray s2 = QFile::encodeName(second);
    QByteArray garbage(4096, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919 + 13) % 256);

    struct Row
    {
        const char *name;
        QByteArray bytes; // empty with `path` set: that path is loaded as it is
        QStringList messages;
        QStringList shape; // the tree afterwards; empty: unchanged
        QString path = QString();
    };
    const QStringList unchanged;
    // Opening a FIFO for reading waits for a writer: the load must not.
    const QString fifo = listPath("pipe.mst");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QList<Row> table = {
        {"letter case", "FileList\r\n" + g + "|\\In\\\r\n", {NotAListFile}, unchanged},
        {"blank before", " filelist\r\n" + g + "|\\In\\\r\n", {NotAListFile}, unchanged},
        {"blank after", "filelist \r\n" + g + "|\\In\\\r\n", {NotAListFile}, unchanged},
        {"binary garbage", garbage, {NotAListFile}, unchanged},
        {"empty file", "", {LoadError}, unchanged},
        {"missing file", {}, {LoadError}, unchanged, QStringLiteral("/nonexistent/list.mst")},
        {"a folder", {}, {LoadError}, unchanged, QStringLiteral("/tmp")},
        {"a FIFO", {}, {LoadError}, unchanged, fifo},
        {"header alone empties the image", "filelist\r\n", {}, {"\\"}},
        {"CR only",
         "filelist\r" + g + "|\\In\\\r" + s2 + "|\\In\\Deep\\\r",
         {},
         {"\\", "  \\In", "    \\In\\Deep"}},
        {"LF only", "filelist\n" + g + "|\\In\\\n" + s2 + "|\\\n", {}, {"\\", "  \\In"}},
        {"destination without backslash", "filelist\r\n" + g + "|\\In\r\n", {}, {"\\", "  \\In"}},
        {"line without bar after a good one",
         "filelist\r\n" + g + "|\\In\\\r\n\\Nowhere\\\r\n" + s2 + "|\\\r\n",
         {LoadError},
         unchanged},
        {"source gone",
         "filelist\r\n" + g + "|\\In\\\r\n/nonexistent/file|\\Gone\\\r\n",
         {LoadError},
         unchanged},
        {"empty line", "filelist\r\n" + g + "|\\In\\\r\n\r\n" + s2 + "|\\\r\n", {LoadError}, unchanged},
        // A list that fails, as a file or on one of its lines, leaves the compilation as it was,
        // wherever the fault lies.
        {"garbage after the header", "filelist\r\n" + garbage, {LoadError}, unchanged},
        {"NUL after the header",
         "filelist\r\n" + g + "|\\In\\\r\n" + QByteArray("/x\0y|\\\r\n", 8) + s2 + "|\\\r\n",
         {LoadError},
         unchanged},
        {"over-long line further down",
         "filelist\r\n" + g + "|\\In\\\r\n" + QByteArray(100 * 1024 * 1024, 'x'),
         {LoadError},
         unchanged},
    };
    for (const Row &row : table) {
        SCOPED_TRACE(row.name);
        m_page->ClearCompilation();
        makeFile(QStringLiteral("Old/o.txt"), 1);
        m_engine->AddFolder(QStringLiteral("\\Old"), src(QStringLiteral("Old/*.*")));
        m_page->RefreshCompilation();
        const QStringList before = treeShape();
        const QStringList beforeContents = contents();
        const QString beforeRoot = root()->text(0);
        QString path = row.path;
        if (path.isEmpty()) {
            path = listPath("bad.mst");
            TestSupport::writeAll(path, row.bytes);
        }
        EXPECT_EQ(load(path), row.messages);
        EXPECT_EQ(treeShape(), row.shape.isEmpty() ? before : row.shape);
        if (row.shape.isEmpty()) {
            EXPECT_EQ(root()->text(0), beforeRoot);
            EXPECT_EQ(contents(), beforeContents);
        }
    }
    // After "header alone" the statistics show an empty image.
    m_page->ClearCompilation();
    TestSupport::writeAll(listPath("bad.mst"), "filelist\r\n");
    EXPECT_EQ(load(listPath("bad.mst")), QStringList());
    EXPECT_EQ(root()->text(0), QStringLiteral("New Disc  {0.00 MB}"));
}

TEST_F(ListFileFixture, AFailedLoadNamesTheLineAndLeavesTheCompilationAsItWas)
{
    makeFile(QStringLiteral("Old/a.txt"), 300000);
    makeFile(QStringLiteral("Old/Deep/b.txt"), 300000);
    m_engine->AddFolder(QStringLiteral("\\Old"), src(QStringLiteral("Old/*.*")));
    m_page->RefreshCompilation();
    settle();
    clickNode(node(QStringLiteral("\\Old")));
    const QStringList shape = treeShape();
    const QStringList before = contents();
    const QString rootText = root()->text(0);

    // The first line goes in; the second names a file that is not there.
    const QString good = makeFile(QStringLiteral("good.txt"), 5000);
    TestSupport::writeAll(listPath("gone.mst"),
                          "filelist\r\n" + QFile::encodeName(good) + "|\\\r\n/nonexistent/file|\\Gone\\\r\n");
    MessageBoxSeam::takeShown();
    FileDialogSeam::setNextFileName(listPath("gone.mst"));
    m_page->ActLoadFileListExecute();
    settle();
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, LoadError);
    EXPECT_TRUE(shown[0].detail.startsWith(QStringLiteral("Line 3: "))) << shown[0].detail.toStdString();

    EXPECT_EQ(treeShape(), shape);
    EXPECT_EQ(contents(), before);
    EXPECT_EQ(root()->text(0), rootText);
    // The views agree with the engine: a refresh from it changes nothing.
    m_page->RefreshCompilation();
    settle();
    EXPECT_EQ(treeShape(), shape);
    EXPECT_EQ(root()->text(0), rootText);

    // And the image written next holds the compilation from before the load, nothing of the list.
    const QString iso = m_dir.filePath(QStringLiteral("next.iso"));
    ASSERT_TRUE(m_engine->WriteImageFile(iso));
    QProcess bsdtar;
    bsdtar.start(QStringLiteral("bsdtar"), {QStringLiteral("-tf"), iso});
    ASSERT_TRUE(bsdtar.waitForFinished(60000));
    QStringList listedInImage =
        QString::fromUtf8(bsdtar.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    listedInImage.sort();
    EXPECT_EQ(listedInImage,
              (QStringList {QStringLiteral("."), QStringLiteral("./Old"), QStringLiteral("./Old/Deep"),
                            QStringLiteral("./Old/Deep/b.txt"), QStringLiteral("./Old/a.txt")}));
}
