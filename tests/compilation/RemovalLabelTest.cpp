// Removal from either view, clearing, and the volume label.
#include "CompilationFixture.h"

#include "app/MessageBox.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString NotRemoved = QStringLiteral("Item could not be removed.");

QStringList texts(const QList<MessageBoxSeam::Shown> &shown)
{
    QStringList list;
    for (const MessageBoxSeam::Shown &box : shown)
        list.append(box.text);
    return list;
}

// Root files r1..r3, and \A holding a.txt and \A\B holding b.txt, and \C holding c.txt.
class RemovalFixture : public CompilationFixture
{
protected:
    void SetUp() override
    {
        CompilationFixture::SetUp();
        if (HasFatalFailure())
            return;
        makeFile(QStringLiteral("A/a.txt"), 10);
        makeFile(QStringLiteral("A/B/b.txt"), 10);
        makeFile(QStringLiteral("C/c.txt"), 10);
        for (const char *name : {"r1.txt", "r2.txt", "r3.txt"}) {
            makeFile(QLatin1String(name), 10);
            m_engine->AddFile(QStringLiteral("\\") + QLatin1String(name), src(QLatin1String(name)));
        }
        m_engine->AddFolder(QStringLiteral("\\A"), src(QStringLiteral("A/*.*")));
        m_engine->AddFolder(QStringLiteral("\\C"), src(QStringLiteral("C/*.*")));
        m_page->RefreshCompilation();
        MessageBoxSeam::takeShown();
    }

    // Asks the engine itself. Its enumeration also reaches the page, which adds the rows to the
    // file list as any enumeration does: check the list before calling this.
    bool inImage(const QString &destPath)
    {
        bool found = false;
        const QString parent = destPath.left(qMax<qsizetype>(1, destPath.lastIndexOf(QLatin1Char('\\'))));
        auto connection =
            QObject::connect(m_engine.get(), &TDVDWriterPro2::OnEnumISOItems, m_engine.get(),
                             [&](const QString &, const QString &path) { found |= path == destPath; });
        m_engine->EnumItems(parent);
        QObject::disconnect(connection);
        return found;
    }
};

} // namespace

TEST_F(RemovalFixture, DeleteBeforeAnyClickDoesNothing)
{
    m_tree->setCurrentItem(node(QStringLiteral("\\A")));
    pressKey(m_tree, Qt::Key_Delete);
    m_page->RemoveSelectedItems();
    EXPECT_TRUE(inImage(QStringLiteral("\\A")));
    EXPECT_NE(node(QStringLiteral("\\A")), nullptr);
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
}

TEST_F(RemovalFixture, TreeRemovalTakesSubFolderFirstAndNeverTheRoot)
{
    clickNode(root());
    clickNode(node(QStringLiteral("\\A")), Qt::ControlModifier);
    clickNode(node(QStringLiteral("\\A\\B")), Qt::ControlModifier);
    pressKey(m_tree, Qt::Key_Delete);
    // Had \A gone first, \A\B would be refused.
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    // The root stays selected and its folder is listed again.
    EXPECT_EQ(rows(),
              QStringList({QStringLiteral("r1.txt|0.01 KB"), QStringLiteral("r2.txt|0.01 KB"),
                           QStringLiteral("r3.txt|0.01 KB")}));
    EXPECT_EQ(treeShape(), QStringList({QStringLiteral("\\"), QStringLiteral("  \\C")}));
    EXPECT_FALSE(inImage(QStringLiteral("\\A")));
    EXPECT_TRUE(inImage(QStringLiteral("\\C")));
}

TEST_F(RemovalFixture, OnlyTheRootSelectedRemovesNothingAndRefreshes)
{
    clickNode(root());
    m_list->clear();
    pressKey(m_tree, Qt::Key_Delete);
    EXPECT_EQ(treeShape().size(), 4);
    EXPECT_EQ(m_list->topLevelItemCount(), 3);
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
}

TEST_F(RemovalFixture, TreeRefusalStopsEverything)
{
    clickNode(node(QStringLiteral("\\A")));
    clickNode(node(QStringLiteral("\\A\\B")), Qt::ControlModifier);
    clickNode(node(QStringLiteral("\\C")), Qt::ControlModifier);
    // \A\B leaves the image behind the page's back: the engine refuses it, \C (lower) went before.
    ASSERT_TRUE(m_engine->RemoveItem(QStringLiteral("\\A\\B")));
    const QStringList listed = rows();
    pressKey(m_tree, Qt::Key_Delete);
    EXPECT_EQ(texts(MessageBoxSeam::takeShown()), QStringList {NotRemoved});
    EXPECT_EQ(rows(), listed); // no refresh
    EXPECT_EQ(treeShape().size(), 4); // no node deleted
    EXPECT_FALSE(inImage(QStringLiteral("\\C")));
    EXPECT_TRUE(inImage(QStringLiteral("\\A")));
}

TEST_F(RemovalFixture, ListRemovalRefusesPerRowAndRefreshesAtTheEnd)
{
    clickNode(root());
    ASSERT_EQ(m_list->topLevelItemCount(), 3);
    clickRow(0);
    clickRow(1, Qt::ControlModifier);
    clickRow(2, Qt::ControlModifier);
    const QString second = m_list->topLevelItem(1)->data(0, CompilationPage::DestPathRole).toString();
    ASSERT_TRUE(m_engine->RemoveItem(second));
    pressKey(m_list, Qt::Key_Delete);
    settle(); // the folder is listed again away from the UI thread
    EXPECT_EQ(texts(MessageBoxSeam::takeShown()), QStringList {NotRemoved});
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
    EXPECT_EQ(treeShape().size(), 4);
}

// After removing rows the list is listed again: it ends as a fresh listing shows it, for a few rows
// and for many.
TEST_F(RemovalFixture, ListRemovalLeavesTheListAsAFreshListingShowsIt)
{
    for (int n = 0; n < 100; ++n)
        makeFile(QStringLiteral("M/m%1.txt").arg(n, 3, 10, QLatin1Char('0')), 10);
    m_engine->AddFolder(QStringLiteral("\\M"), src(QStringLiteral("M/*.*")));
    m_page->RefreshCompilation();
    struct Case
    {
        const char *name;
        QList<int> rows;
    };
    QList<int> many;
    for (int row = 5; row < 95; ++row)
        many.append(row);
    const Case cases[] = {{"one row", {0}}, {"two apart", {3, 40}}, {"many", many}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clickNode(node(QStringLiteral("\\M")));
        clickRow(c.rows.front());
        QStringList gone;
        for (int row : c.rows) {
            if (row != c.rows.front())
                clickRow(row, Qt::ControlModifier);
            gone.append(m_list->topLevelItem(row)->data(0, CompilationPage::DestPathRole).toString());
        }
        pressKey(m_list, Qt::Key_Delete);
        settle(); // the folder is listed again away from the UI thread
        EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
        const QStringList shown = rows();
        m_page->RefreshCompilation();
        EXPECT_EQ(shown, rows());
        for (const QString &path : std::as_const(gone)) {
            EXPECT_FALSE(
                shown.join(QLatin1Char(' ')).contains(path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1)));
            EXPECT_FALSE(inImage(path));
        }
    }
    m_page->RefreshCompilation();
    EXPECT_EQ(m_list->topLevelItemCount(), 100 - 1 - 2 - 90);
}

// The list may show another folder than the one selected in the tree (the selection moved by keys,
// or was cleared): after a removal it lists the selected folder, the root when none is selected.
struct RelistCase
{
    const char *name;
    std::function<void(QTreeWidget *tree)> moveSelection;
    QString listed; // the folder the list shows afterwards
};

class RelistAfterRemoval : public RemovalFixture, public ::testing::WithParamInterface<RelistCase>
{
};

TEST_P(RelistAfterRemoval, TheListShowsTheSelectedFolderAgain)
{
    const RelistCase &c = GetParam();
    clickNode(node(QStringLiteral("\\A")));
    ASSERT_EQ(rows(), QStringList {QStringLiteral("a.txt|0.01 KB")});
    c.moveSelection(m_tree);
    ASSERT_EQ(rows(), QStringList {QStringLiteral("a.txt|0.01 KB")}) << "moving the selection lists nothing";
    clickRow(0);
    pressKey(m_list, Qt::Key_Delete);
    settle(); // the folder is listed again away from the UI thread
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
    QStringList expected;
    for (const ImageItem &item : m_engine->ListItems(c.listed)) {
        if (!item.isDirectory)
            expected.append(item.name);
    }
    QStringList names;
    for (const QString &row : rows())
        names.append(row.section(QLatin1Char('|'), 0, 0));
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(inImage(QStringLiteral("\\A\\a.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    Selections, RelistAfterRemoval,
    ::testing::Values(RelistCase {"ArrowKeyToAnotherFolder",
                                  [](QTreeWidget *tree) {
                                      tree->setFocus();
                                      QTest::keyClick(tree, Qt::Key_Up); // from \A up to the root
                                  },
                                  QStringLiteral("\\")},
                      RelistCase {"SelectionCleared", [](QTreeWidget *tree) { tree->clearSelection(); },
                                  QStringLiteral("\\")},
                      RelistCase {"SelectedFolderUnchanged", [](QTreeWidget *) {}, QStringLiteral("\\A")}),
    [](const ::testing::TestParamInfo<RelistCase> &testInfo) { return std::string(testInfo.param.name); });

// A big folder listed again after a removal comes into the list slice by slice; a click on another
// folder meanwhile shows that folder alone, with no slice of the old listing added after it.
TEST_F(RemovalFixture, ABigFolderListedAgainIsOvertakenByAClick)
{
    constexpr int Files = 4500;
    for (int n = 0; n < Files; ++n)
        makeFile(QStringLiteral("Big/f%1.txt").arg(n, 4, 10, QLatin1Char('0')), 1);
    m_engine->AddFolder(QStringLiteral("\\Big"), src(QStringLiteral("Big/*.*")));
    m_page->RefreshCompilation();
    settle();
    for (const bool overtaken : {false, true}) {
        SCOPED_TRACE(overtaken ? "overtaken" : "listed whole");
        clickNode(node(QStringLiteral("\\Big")));
        clickRow(10);
        pressKey(m_list, Qt::Key_Delete);
        if (overtaken) {
            // The listing may still run, or its rows be going in: the click wins either way.
            QCoreApplication::processEvents();
            clickNode(node(QStringLiteral("\\C")));
            settle();
            EXPECT_EQ(rows(), QStringList {QStringLiteral("c.txt|0.01 KB")});
            continue;
        }
        settle();
        const QStringList shown = rows();
        EXPECT_EQ(shown.size(), Files - 1);
        m_page->RefreshCompilation();
        EXPECT_EQ(shown, rows());
    }
}

TEST_F(RemovalFixture, DeleteActsOnTheLastClickedViewWhateverHasTheFocus)
{
    // The last click went to the tree; the file chosen with the keyboard only is not what goes.
    clickNode(node(QStringLiteral("\\C")));
    ASSERT_EQ(rows(), QStringList {QStringLiteral("c.txt|0.01 KB")});
    m_list->setFocus();
    m_list->setCurrentItem(m_list->topLevelItem(0));
    ASSERT_TRUE(m_list->topLevelItem(0)->isSelected());
    pressKey(m_list, Qt::Key_Delete);
    EXPECT_FALSE(inImage(QStringLiteral("\\C")));
    EXPECT_EQ(treeShape().size(), 3);

    // The other way round: the list clicked last, Delete pressed in the tree.
    clickNode(root());
    clickRow(1);
    pressKey(m_tree, Qt::Key_Delete);
    EXPECT_TRUE(inImage(QStringLiteral("\\r1.txt")));
    EXPECT_FALSE(inImage(QStringLiteral("\\r2.txt")));
    EXPECT_TRUE(inImage(QStringLiteral("\\A")));
    EXPECT_EQ(treeShape().size(), 3);
}

TEST_F(RemovalFixture, ClearLeavesExactlyTheSelectedRoot)
{
    m_engine->setVolumeIdentifier(QStringLiteral("Old"));
    clickNode(node(QStringLiteral("\\A")));
    m_page->ClearCompilation();
    EXPECT_EQ(treeShape(), QStringList {QStringLiteral("\\")});
    EXPECT_EQ(root()->text(0), QStringLiteral("New Disc  {0.00 MB}"));
    EXPECT_TRUE(root()->isSelected());
    EXPECT_EQ(picture(root()), 2);
    EXPECT_EQ(m_list->topLevelItemCount(), 0);
    EXPECT_EQ(m_page->LastClickedView(), 1);
    EXPECT_FALSE(inImage(QStringLiteral("\\r1.txt")));
}

TEST_F(RemovalFixture, LabelChangeShowsOneBlankUntilTheNextRefresh)
{
    const QString before = root()->text(0);
    const QString size = before.mid(before.indexOf(QLatin1Char('{')));
    // Through the tree's context menu: a right click opens it without changing the selection.
    clickNode(node(QStringLiteral("\\C")));
    const QPoint at = m_tree->visualItemRect(node(QStringLiteral("\\A"))).center();
    QTest::mousePress(m_tree->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, m_tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(m_tree->viewport(), &menuEvent);
    QTest::mouseRelease(m_tree->viewport(), Qt::RightButton, Qt::NoModifier, at);
    EXPECT_TRUE(m_menu->isVisible());
    EXPECT_EQ(selectedNodePaths(), QStringList {QStringLiteral("\\C")});
    m_menu->hide();
    answerVolumeWindow(QStringLiteral("Backup"));
    m_changeVolume->trigger();
    EXPECT_EQ(root()->text(0), QStringLiteral("Backup ") + size);
    EXPECT_EQ(m_engine->VolumeIdentifier(), QStringLiteral("Backup"));
    EXPECT_EQ(m_page->rootText(), std::optional<QString>(QStringLiteral("Backup ") + size));

    // The next update writes two blanks; an add shows the new label with the new size.
    makeFile(QStringLiteral("more.bin"), 5 * 1048576);
    m_engine->AddFile(QStringLiteral("\\more.bin"), src(QStringLiteral("more.bin")));
    m_page->RefreshCompilation();
    const QString after = root()->text(0);
    EXPECT_TRUE(after.startsWith(QStringLiteral("Backup  {"))) << after.toStdString();
    EXPECT_NE(after.mid(after.indexOf(QLatin1Char('{'))), size);
}

TEST_F(RemovalFixture, EmptyOrCancelledLabelChangesNothingAndAnyTextIsTakenAsTyped)
{
    const QString before = root()->text(0);
    answerVolumeWindow(QString());
    m_page->Change1Click();
    answerVolumeWindow(std::nullopt);
    m_page->Change1Click();
    EXPECT_EQ(root()->text(0), before);
    EXPECT_EQ(m_engine->VolumeIdentifier(), QStringLiteral("New Disc"));

    const QString odd = QStringLiteral("  {Ünïcode} label with a very long tail that no ISO field holds  ") +
        QString(300, QLatin1Char('x'));
    answerVolumeWindow(odd);
    m_page->Change1Click();
    EXPECT_EQ(m_engine->VolumeIdentifier(), odd);
    EXPECT_EQ(root()->text(0), odd + QLatin1Char(' ') + before.mid(before.indexOf(QLatin1Char('{'))));
    // A second change finds the size part behind the label's own brace.
    answerVolumeWindow(QStringLiteral("Plain"));
    m_page->Change1Click();
    EXPECT_EQ(root()->text(0), QStringLiteral("Plain ") + before.mid(before.indexOf(QLatin1Char('{'))));
}
