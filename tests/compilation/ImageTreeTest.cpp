// The image tree and the file list: how they mirror the engine's image, clicks, keys and pictures.
#include "CompilationFixture.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "widgets/ImageList.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QSplitter>
#include <QTreeWidget>

namespace {

const QString Root = QStringLiteral("\\");

QStringList shape(std::initializer_list<const char *> lines)
{
    QStringList list;
    for (const char *line : lines)
        list.append(QString::fromUtf8(line));
    return list;
}

} // namespace

TEST_F(CompilationFixture, FirstEntryShowsOneUnselectedRootAndAnEmptyList)
{
    ASSERT_EQ(m_tree->topLevelItemCount(), 1);
    EXPECT_EQ(root()->text(0), QStringLiteral("New Disc  {0.00 MB}"));
    EXPECT_EQ(m_page->rootText(), std::optional<QString>(QStringLiteral("New Disc  {0.00 MB}")));
    EXPECT_FALSE(root()->isSelected());
    EXPECT_FALSE(root()->isExpanded());
    EXPECT_EQ(root()->childCount(), 0);
    EXPECT_EQ(picture(root()), 0);
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
    EXPECT_EQ(m_page->LastClickedView(), 0);
    EXPECT_EQ(m_engine->VolumeIdentifier(), QStringLiteral("New Disc"));

    // The views as the page sets them up.
    EXPECT_EQ(m_list->headerItem()->text(0), QStringLiteral("File Name"));
    EXPECT_EQ(m_list->headerItem()->text(1), QStringLiteral("Size"));
    EXPECT_EQ(m_list->columnWidth(0), 200);
    EXPECT_EQ(m_list->columnWidth(1), 80);
    EXPECT_EQ(m_splitter->sizes().value(0), 193);
    EXPECT_EQ(m_tree->minimumWidth(), 50);
    EXPECT_EQ(m_list->minimumWidth(), 50);
    EXPECT_EQ(m_tree->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(m_list->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(CompilationFixture, EnteringWithAnImageKeepsTheTreeAndEmptiesTheList)
{
    makeFile(QStringLiteral("Docs/a.txt"), 10);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_engine->setVolumeIdentifier(QStringLiteral("Kept"));
    clickNode(node(QStringLiteral("\\Docs")));
    ASSERT_EQ(m_list->topLevelItemCount(), 1);

    m_page->EnterFileToIsoPage();
    EXPECT_EQ(treeShape(), shape({"\\", "  \\Docs"}));
    EXPECT_EQ(m_engine->VolumeIdentifier(), QStringLiteral("Kept"));
    EXPECT_EQ(m_list->topLevelItemCount(), 0);

    // With the image emptied behind its back, entering makes the root anew.
    m_engine->ResetImage();
    m_page->EnterFileToIsoPage();
    EXPECT_EQ(treeShape(), shape({"\\"}));
    EXPECT_EQ(root()->text(0), QStringLiteral("New Disc  {0.00 MB}"));
}

TEST_F(CompilationFixture, NestedFolderGivesChildAndGrandchildAndAFileNoNode)
{
    makeFile(QStringLiteral("Docs/Sub/Deep/a.txt"), 1);
    makeFile(QStringLiteral("one.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_engine->AddFile(QStringLiteral("\\one.txt"), src(QStringLiteral("one.txt")));
    EXPECT_EQ(treeShape(), shape({"\\", "  \\Docs", "    \\Docs\\Sub", "      \\Docs\\Sub\\Deep"}));
    EXPECT_EQ(node(QStringLiteral("\\Docs\\Sub"))->text(0), QStringLiteral("Sub"));
    EXPECT_EQ(picture(node(QStringLiteral("\\Docs\\Sub"))), 1);
}

// The node rules of the add event, fed with the events an engine could send.
TEST_F(CompilationFixture, AddEventsGrowEveryMatchingNodeAndNothingElse)
{
    auto folder = [this](const char *parent, const char *path, const char *name) {
        m_page->DVDWriterPro21ISOItemAdded(QString::fromUtf8(parent), QString::fromUtf8(path),
                                           QString::fromUtf8(name), QString(), true, QDateTime(), 0);
    };
    folder("\\", "\\A", "A");
    folder("\\", "\\A", "A"); // the same folder reported twice: two siblings
    folder("\\A", "\\A\\B", "B"); // goes under both
    folder("\\a", "\\a\\C", "C"); // parent differs in letter case only: no node
    folder("\\Nowhere", "\\Nowhere\\D", "D"); // no parent node: no node
    m_page->DVDWriterPro21ISOItemAdded(Root, QStringLiteral("\\f.txt"), QStringLiteral("f.txt"), QString(),
                                       false, QDateTime(), 5);
    EXPECT_EQ(treeShape(), shape({"\\", "  \\A", "    \\A\\B", "  \\A", "    \\A\\B"}));
}

TEST_F(CompilationFixture, ClickingAFolderListsOnlyItsFilesInEngineOrderWithKilobytes)
{
    makeFile(QStringLiteral("Docs/b.txt"), 1536);
    makeFile(QStringLiteral("Docs/a.txt"), 0);
    makeFile(QStringLiteral("Docs/mid.bin"), 1234567);
    // Beyond a signed 32-bit count: the row shows the real size.
    makeFile(QStringLiteral("Docs/huge.bin"), 3000000000LL);
    makeFile(QStringLiteral("Docs/Sub/inner.txt"), 7);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));

    QStringList engineOrder;
    auto spy = QObject::connect(m_engine.get(), &TDVDWriterPro2::OnEnumISOItems, m_engine.get(),
                                [&engineOrder](const QString &, const QString &, const QString &name,
                                               const QString &, bool dir, const QDateTime &, qint64) {
                                    if (!dir)
                                        engineOrder.append(name);
                                });
    clickNode(node(QStringLiteral("\\Docs")));
    QObject::disconnect(spy);

    QStringList names;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        names.append(m_list->topLevelItem(i)->text(0));
        EXPECT_EQ(m_list->topLevelItem(i)->data(0, CompilationPage::PictureRole).toInt(), 3);
    }
    EXPECT_EQ(names, engineOrder);
    QStringList sorted = rows();
    sorted.sort();
    EXPECT_EQ(
        sorted,
        QStringList({QStringLiteral("a.txt|0.00 KB"), QStringLiteral("b.txt|1.54 KB"),
                     QStringLiteral("huge.bin|3,000,000.00 KB"), QStringLiteral("mid.bin|1,234.57 KB")}));
    EXPECT_EQ(m_list->topLevelItem(0)->data(0, CompilationPage::DestPathRole).toString(),
              QStringLiteral("\\Docs\\") + names[0]);
    EXPECT_EQ(m_page->LastClickedView(), 1);
}

TEST_F(CompilationFixture, EmptySpaceClickRelistsTheSelectedFolderAndArrowKeysDoNot)
{
    makeFile(QStringLiteral("Docs/a.txt"), 1);
    makeFile(QStringLiteral("Docs/b.txt"), 1);
    makeFile(QStringLiteral("Docs/Sub/c.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    clickNode(node(QStringLiteral("\\Docs")));
    ASSERT_EQ(m_list->topLevelItemCount(), 2);

    ASSERT_TRUE(m_engine->RemoveItem(QStringLiteral("\\Docs\\a.txt")));
    clickTreeEmptySpace();
    EXPECT_EQ(selectedNodePaths(), QStringList {QStringLiteral("\\Docs")});
    EXPECT_EQ(rows(), QStringList {QStringLiteral("b.txt|0.00 KB")});

    node(QStringLiteral("\\Docs"))->setExpanded(true);
    pressKey(m_tree, Qt::Key_Down);
    EXPECT_EQ(selectedNodePaths(), QStringList {QStringLiteral("\\Docs\\Sub")});
    EXPECT_EQ(rows(), QStringList {QStringLiteral("b.txt|0.00 KB")});
}

TEST_F(CompilationFixture, EscapeKeepsTheNodeSelectedFirst)
{
    for (const char *name : {"A", "B", "C"}) {
        makeFile(QStringLiteral("%1/f").arg(QLatin1String(name)), 1);
        m_engine->AddFolder(QStringLiteral("\\%1").arg(QLatin1String(name)),
                            src(QStringLiteral("%1/*.*").arg(QLatin1String(name))));
    }
    m_page->RefreshCompilation();
    // In tree order and against it: what counts is the order of selection.
    for (const QStringList &clicks : {QStringList {"\\A", "\\B", "\\C"}, QStringList {"\\C", "\\A", "\\B"}}) {
        clickNode(node(clicks[0]));
        clickNode(node(clicks[1]), Qt::ControlModifier);
        clickNode(node(clicks[2]), Qt::ControlModifier);
        ASSERT_EQ(selectedNodePaths().size(), 3);
        pressKey(m_tree, Qt::Key_Escape);
        EXPECT_EQ(selectedNodePaths(), QStringList {clicks[0]});
        pressKey(m_tree, Qt::Key_Escape);
        EXPECT_EQ(selectedNodePaths(), QStringList {clicks[0]});
    }
}

TEST_F(CompilationFixture, RootTakesTheDiscPictureOnItsFirstClickAndKeepsIt)
{
    makeFile(QStringLiteral("Docs/a.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_page->RefreshCompilation();
    EXPECT_EQ(picture(root()), 0);
    clickNode(root());
    EXPECT_EQ(picture(root()), 2);
    clickNode(node(QStringLiteral("\\Docs")));
    EXPECT_EQ(picture(root()), 2);
    EXPECT_EQ(picture(node(QStringLiteral("\\Docs"))), 1);

    // Drawn: a node's own picture, the open folder while it is selected.
    const QList<QIcon> pictures = LoadImageList(Globals().ExeFolder);
    ASSERT_FALSE(pictures[0].isNull());
    const QImage openFolder = pictures[0].pixmap(16, 16).toImage();
    const QIcon docs = node(QStringLiteral("\\Docs"))->icon(0);
    EXPECT_EQ(docs.pixmap(16, 16, QIcon::Normal).toImage(), pictures[1].pixmap(16, 16).toImage());
    EXPECT_EQ(docs.pixmap(16, 16, QIcon::Selected).toImage(), openFolder);
    EXPECT_EQ(root()->icon(0).pixmap(16, 16, QIcon::Normal).toImage(), pictures[2].pixmap(16, 16).toImage());
}

TEST_F(CompilationFixture, ListingErrorKeepsTheRowsAndReachesTheErrorBox)
{
    makeFile(QStringLiteral("Docs/a.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    clickNode(node(QStringLiteral("\\Docs")));
    ASSERT_TRUE(m_engine->RemoveItem(QStringLiteral("\\Docs")));
    MessageBoxSeam::takeShown();
    clickNode(node(QStringLiteral("\\Docs")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 0);
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
}

TEST_F(CompilationFixture, RootShowsTheEngineSizeInMebibytes)
{
    makeFile(QStringLiteral("big.bin"), 4700000000LL);
    m_engine->AddFile(QStringLiteral("\\big.bin"), src(QStringLiteral("big.bin")));
    m_page->RefreshCompilation();
    const QString text = root()->text(0);
    const QRegularExpression pattern(QStringLiteral("^New Disc  \\{(\\d+)\\.(\\d\\d) MB\\}$"));
    const QRegularExpressionMatch match = pattern.match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    const double shown = match.captured(1).toDouble() + match.captured(2).toDouble() / 100;
    const double exact = TDVDWriterPro2::BlocksToBytes(m_engine->ImageSizeBlocks(), 1) / 1048576.0;
    EXPECT_NEAR(shown, exact, 0.005);
    EXPECT_GE(shown, 4482.27);
}
