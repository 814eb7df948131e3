// The picker: what it lists, the engine calls its buttons make, and the state it keeps.
#include "CompilationFixture.h"

#include "TestSupport.h"
#include "app/MessageBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class PickerFixture : public CompilationFixture
{
protected:
    void SetUp() override
    {
        CompilationFixture::SetUp();
        if (HasFatalFailure())
            return;
        // What the picker hands the page is recorded as the engine calls it becomes, into the folder
        // selected in the tree at the press.
        for (const auto signal : {&TFrmFilesSelect::addPressed, &TFrmFilesSelect::finishedPressed}) {
            QObject::connect(m_picker, signal, [this](const QList<PickedItem> &items) {
                for (const ImageAddition &addition : AdditionsOf(items, m_page->selectedDestPath()))
                    m_calls.append(
                        (addition.folder ? QStringLiteral("AddFolder ") : QStringLiteral("AddFile ")) +
                        addition.destPath + QStringLiteral(" ") + addition.source);
            });
        }
    }

    QFileSystemModel *model() const { return m_picker->fileSystemModel(); }

    // Opens `folder` in the picker and waits until the model lists `count` entries there.
    QStringList openFolder(const QString &folder, int count)
    {
        m_picker->setCurrentFolder(folder);
        const QModelIndex root = model()->index(folder);
        EXPECT_TRUE(TestSupport::waitFor([&] { return model()->rowCount(root) == count; }, 10000));
        QStringList names;
        // Sorting is applied shortly after the listing arrives.
        TestSupport::waitFor(
            [&] {
                QStringList now;
                for (int row = 0; row < model()->rowCount(root); ++row)
                    now.append(model()->index(row, 0, root).data().toString());
                const bool settled = !names.isEmpty() && now == names;
                names = now;
                return settled;
            },
            2000);
        return names;
    }

    void select(const QStringList &names)
    {
        QItemSelectionModel *selection = m_picker->ShellListView()->selectionModel();
        selection->clear();
        for (const QString &name : names) {
            const QModelIndex index = model()->index(m_picker->currentFolder() + QLatin1Char('/') + name);
            ASSERT_TRUE(index.isValid()) << name.toStdString();
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    QStringList m_calls;
};

} // namespace

TEST_F(PickerFixture, ListsFoldersFirstAndNoHiddenEntries)
{
    makeFile(QStringLiteral("b_file.txt"), 1);
    makeFile(QStringLiteral("a_file.txt"), 1);
    makeFile(QStringLiteral(".hidden"), 1);
    makeDir(QStringLiteral("c_dir"));
    makeDir(QStringLiteral("B_dir"));
    makeDir(QStringLiteral(".hidden_dir"));
    EXPECT_EQ(openFolder(src(QString()), 4),
              QStringList({QStringLiteral("B_dir"), QStringLiteral("c_dir"), QStringLiteral("a_file.txt"),
                           QStringLiteral("b_file.txt")}));
    EXPECT_EQ(m_picker->windowTitle(), QStringLiteral("Select Files and Folders"));
    EXPECT_EQ(m_picker->size(), QSize(488, 271));
    EXPECT_EQ(m_picker->ShellListView()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_TRUE(model()->isReadOnly());
}

TEST_F(PickerFixture, AddMakesTheCallsOfTheWorkedExamples)
{
    makeFile(QStringLiteral("Photos/p.jpg"), 1);
    makeFile(QStringLiteral("Notes/a.txt"), 1);
    makeFile(QStringLiteral("Docs/d.txt"), 1);
    m_engine->AddFolder(QStringLiteral("\\Docs"), src(QStringLiteral("Docs/*.*")));
    m_page->RefreshCompilation();
    openFolder(src(QString()), 3);
    const QString photos = src(QStringLiteral("Photos"));
    const QString notes = src(QStringLiteral("Notes"));
    openFolder(notes, 1);
    openFolder(src(QString()), 3);

    struct Row
    {
        const char *name;
        QString treeNode; // empty: nothing selected
        QString folder;
        QString item;
        QString call;
    };
    const QList<Row> table = {
        {"folder into a folder node", "\\Docs", src(QString()), "Photos",
         "AddFolder \\Docs\\Photos " + photos + "/*.*"},
        {"file into a folder node", "\\Docs", notes, "a.txt", "AddFile \\Docs\\a.txt " + notes + "/a.txt"},
        {"folder into the root", "\\", src(QString()), "Photos", "AddFolder \\Photos " + photos + "/*.*"},
        {"file with no node selected", "", notes, "a.txt", "AddFile \\a.txt " + notes + "/a.txt"},
    };
    for (const Row &row : table) {
        SCOPED_TRACE(row.name);
        m_tree->clearSelection();
        if (!row.treeNode.isEmpty())
            m_tree->setCurrentItem(node(row.treeNode));
        m_picker->setCurrentFolder(row.folder);
        select({row.item});
        m_calls.clear();
        m_picker->BtnAddClick();
        settle();
        EXPECT_EQ(m_calls, QStringList {row.call});
    }
    // The tree grew from the events and the page was refreshed: no node selected lists the root.
    EXPECT_NE(node(QStringLiteral("\\Docs\\Photos")), nullptr);
    EXPECT_NE(node(QStringLiteral("\\Photos")), nullptr);
    EXPECT_EQ(rows(), QStringList {QStringLiteral("a.txt|0.00 KB")});
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(PickerFixture, SeveralItemsGoInTheViewOrderAndAddThenCloseSubmitsThemTwice)
{
    makeFile(QStringLiteral("z.txt"), 1);
    makeFile(QStringLiteral("m.txt"), 1);
    makeFile(QStringLiteral("Folder/f.txt"), 1);
    makeFile(QStringLiteral("back\\slash.txt"), 1);
    openFolder(src(QString()), 4);
    select({QStringLiteral("z.txt"), QStringLiteral("m.txt"), QStringLiteral("Folder")});
    m_picker->show();
    m_picker->BtnAdd->click();
    settle();
    const QStringList once = {"AddFolder \\Folder " + src(QStringLiteral("Folder")) + "/*.*",
                              "AddFile \\m.txt " + src(QStringLiteral("m.txt")),
                              "AddFile \\z.txt " + src(QStringLiteral("z.txt"))};
    EXPECT_EQ(m_calls, once);
    // The selection stays after "Add"; "Close" adds it once more and closes.
    m_picker->BtnFinished->click();
    settle();
    EXPECT_EQ(m_calls, once + once);
    EXPECT_FALSE(m_picker->isVisible());

    // A "\" in a Linux name cannot reach the image's path notation.
    m_calls.clear();
    select({QStringLiteral("back\\slash.txt")});
    m_picker->BtnAddClick();
    settle();
    EXPECT_EQ(m_calls, QStringList {"AddFile \\back_slash.txt " + src(QStringLiteral("back\\slash.txt"))});
}

TEST_F(PickerFixture, NothingSelectedAddsNothingAndCloseOnlyCloses)
{
    makeFile(QStringLiteral("a.txt"), 1);
    openFolder(src(QString()), 1);
    m_picker->ShellListView()->selectionModel()->clear();
    m_list->addTopLevelItem(new QTreeWidgetItem(QStringList {QStringLiteral("marker")}));
    m_picker->show();
    m_picker->BtnAdd->click();
    settle();
    m_picker->BtnFinished->click();
    settle();
    EXPECT_TRUE(m_calls.isEmpty());
    EXPECT_FALSE(m_picker->isVisible());
    EXPECT_EQ(rows(), QStringList {QStringLiteral("marker|")}); // no refresh
}

TEST_F(PickerFixture, EngineErrorStopsTheRemainingItemsAndSkipsTheRefresh)
{
    makeFile(QStringLiteral("a.txt"), 1);
    makeFile(QStringLiteral("b.txt"), 1);
    openFolder(src(QString()), 2);
    select({QStringLiteral("a.txt"), QStringLiteral("b.txt")});
    QFile::remove(src(QStringLiteral("a.txt"))); // gone between listing and adding
    m_list->addTopLevelItem(new QTreeWidgetItem(QStringList {QStringLiteral("marker")}));
    MessageBoxSeam::takeShown();
    m_picker->show();
    m_picker->BtnFinished->click();
    settle();
    // The add stopped at the item that failed: the one after it never reached the image.
    EXPECT_TRUE(m_engine->ListItems(QStringLiteral("\\")).empty());
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 0);
    EXPECT_EQ(rows(), QStringList {QStringLiteral("marker|")});
    EXPECT_TRUE(m_picker->isVisible()); // the error ended "Close" before it closed
    m_picker->hide();
}

TEST_F(PickerFixture, BrowsingStylesAndStateSurviveReopening)
{
    makeFile(QStringLiteral("Outer/Inner/i.txt"), 1);
    makeFile(QStringLiteral("Outer/o.txt"), 1);
    EXPECT_TRUE(m_picker->Details1->isChecked());
    EXPECT_EQ(m_picker->currentFolder(), QDir::homePath());

    openFolder(src(QStringLiteral("Outer")), 2);
    // Double-click opens a folder; the up button opens the parent; the location box follows.
    const QModelIndex inner = model()->index(src(QStringLiteral("Outer/Inner")));
    QAbstractItemView *view = m_picker->ShellListView();
    m_picker->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_picker, 5000));
    view->scrollTo(inner);
    const QPoint at = view->visualRect(inner).center();
    // What the window system delivers for a double click: press, release, double click, release.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(m_picker->currentFolder(), src(QStringLiteral("Outer/Inner")));
    EXPECT_EQ(m_picker->ShellDeviceBox->currentData().toString(), src(QStringLiteral("Outer/Inner")));
    m_picker->SpeedButton1->click();
    EXPECT_EQ(m_picker->currentFolder(), src(QStringLiteral("Outer")));
    // Choosing an entry of the location box opens that folder.
    const int top = m_picker->ShellDeviceBox->findData(QStringLiteral("/"));
    ASSERT_GE(top, 0);
    m_picker->ShellDeviceBox->activated(top);
    EXPECT_EQ(m_picker->currentFolder(), QStringLiteral("/"));
    m_picker->SpeedButton1->click(); // nothing above the top
    EXPECT_EQ(m_picker->currentFolder(), QStringLiteral("/"));
    m_picker->setCurrentFolder(src(QStringLiteral("Outer")));

    // Exactly one style entry is checked; each sets its view.
    const QList<QAction *> styles = {m_picker->LargeIcons1, m_picker->SmallIcons1, m_picker->List1,
                                     m_picker->Details1};
    for (QAction *style : styles) {
        style->trigger();
        int checked = 0;
        for (QAction *other : styles)
            checked += other->isChecked() ? 1 : 0;
        EXPECT_EQ(checked, 1);
        EXPECT_TRUE(style->isChecked());
    }
    m_picker->LargeIcons1->trigger();
    auto *icons = qobject_cast<QListView *>(m_picker->ShellListView());
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(icons->viewMode(), QListView::IconMode);
    m_picker->List1->trigger();
    EXPECT_EQ(icons->viewMode(), QListView::ListMode);
    EXPECT_EQ(icons->flow(), QListView::TopToBottom);

    // Hidden and shown again, as the page's Add button does: folder and style are as left.
    m_picker->hide();
    m_picker->show();
    EXPECT_EQ(m_picker->currentFolder(), src(QStringLiteral("Outer")));
    EXPECT_TRUE(m_picker->List1->isChecked());
    m_picker->hide();
}

// The picker only picks: whatever a user tries on an entry, in every view style, the files keep their
// names, their places and their contents.
struct PickerAttempt
{
    const char *name;
    QAction *TFrmFilesSelect::*style;
    int key; // pressed on the file with the view focused; 0: the row tries the model itself
};

class PickerChangesNothing : public PickerFixture, public ::testing::WithParamInterface<PickerAttempt>
{
};

TEST_P(PickerChangesNothing, TheFilesStayAsTheyWere)
{
    const PickerAttempt &attempt = GetParam();
    makeFile(QStringLiteral("Box/keep-me.txt"), 3);
    makeDir(QStringLiteral("Box/Inside"));
    const QString keep = src(QStringLiteral("Box/keep-me.txt"));
    const QByteArray content = TestSupport::readAll(keep);
    openFolder(src(QStringLiteral("Box")), 2);
    (m_picker->*attempt.style)->trigger();
    m_picker->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_picker, 5000));
    QAbstractItemView *view = m_picker->ShellListView();
    const QModelIndex file = model()->index(keep);
    ASSERT_TRUE(file.isValid());
    view->setFocus();
    view->setCurrentIndex(file);

    EXPECT_FALSE(model()->flags(file) & Qt::ItemIsEditable);
    if (attempt.key != 0) {
        QTest::keyClick(view, Qt::Key(attempt.key));
        // Whatever editor a key may have opened gets a new name and Return.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("renamed.txt"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else {
        EXPECT_FALSE(model()->setData(file, QStringLiteral("renamed.txt")));
        QMimeData *moved = model()->mimeData({file});
        EXPECT_FALSE(model()->dropMimeData(moved, Qt::MoveAction, -1, -1,
                                           model()->index(src(QStringLiteral("Box/Inside")))));
        delete moved;
        EXPECT_EQ(view->dragDropMode(), QAbstractItemView::NoDragDrop);
        EXPECT_FALSE(view->dragEnabled());
    }
    m_picker->hide();
    EXPECT_EQ(TestSupport::readAll(keep), content);
    EXPECT_EQ(QDir(src(QStringLiteral("Box"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList({QStringLiteral("Inside"), QStringLiteral("keep-me.txt")}));
    EXPECT_TRUE(QDir(src(QStringLiteral("Box/Inside"))).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, PickerChangesNothing,
    ::testing::Values(PickerAttempt {"F2InDetails", &TFrmFilesSelect::Details1, Qt::Key_F2},
                      PickerAttempt {"F2InList", &TFrmFilesSelect::List1, Qt::Key_F2},
                      PickerAttempt {"F2InLargeIcons", &TFrmFilesSelect::LargeIcons1, Qt::Key_F2},
                      PickerAttempt {"DeleteInDetails", &TFrmFilesSelect::Details1, Qt::Key_Delete},
                      PickerAttempt {"DeleteInSmallIcons", &TFrmFilesSelect::SmallIcons1, Qt::Key_Delete},
                      PickerAttempt {"RenameOrMoveThroughTheModel", &TFrmFilesSelect::Details1, 0}),
    [](const ::testing::TestParamInfo<PickerAttempt> &testInfo) { return std::string(testInfo.param.name); });

// Enter on the current entry opens a folder as a double click does, in every view style; on a file,
// or with a modifier held, it neither opens anything nor adds anything to the image.
struct EnterPress
{
    const char *name;
    QAction *TFrmFilesSelect::*style;
    const char *current; // the entry under the cursor, below "Box"
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char *opened; // the folder shown afterwards, below the source folder
};

class PickerEnter : public PickerFixture, public ::testing::WithParamInterface<EnterPress>
{
};

TEST_P(PickerEnter, OpensTheCurrentFolderOnly)
{
    const EnterPress &press = GetParam();
    makeFile(QStringLiteral("Box/Inside/deeper.txt"), 1);
    makeFile(QStringLiteral("Box/plain.txt"), 1);
    openFolder(src(QStringLiteral("Box")), 2);
    (m_picker->*press.style)->trigger();
    m_picker->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_picker, 5000));
    QAbstractItemView *view = m_picker->ShellListView();
    const QModelIndex current = model()->index(src(QStringLiteral("Box/") + QLatin1String(press.current)));
    ASSERT_TRUE(current.isValid());
    view->setFocus();
    view->setCurrentIndex(current);

    QTest::keyClick(view, press.key, press.modifiers);
    EXPECT_EQ(m_picker->currentFolder(), src(QLatin1String(press.opened)));
    EXPECT_EQ(m_picker->ShellDeviceBox->currentData().toString(), src(QLatin1String(press.opened)));
    EXPECT_TRUE(m_calls.isEmpty()) << m_calls.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(m_picker->isVisible());
    m_picker->hide();
}

INSTANTIATE_TEST_SUITE_P(
    Presses, PickerEnter,
    ::testing::Values(
        EnterPress {"ReturnOnFolderInDetails",
                    &TFrmFilesSelect::Details1,
                    "Inside",
                    Qt::Key_Return,
                    {},
                    "Box/Inside"},
        EnterPress {"KeypadEnterOnFolderInDetails", &TFrmFilesSelect::Details1, "Inside", Qt::Key_Enter,
                    Qt::KeypadModifier, "Box/Inside"},
        EnterPress {"ReturnOnFolderInLargeIcons",
                    &TFrmFilesSelect::LargeIcons1,
                    "Inside",
                    Qt::Key_Return,
                    {},
                    "Box/Inside"},
        EnterPress {
            "ReturnOnFolderInList", &TFrmFilesSelect::List1, "Inside", Qt::Key_Return, {}, "Box/Inside"},
        EnterPress {"ReturnOnFile", &TFrmFilesSelect::Details1, "plain.txt", Qt::Key_Return, {}, "Box"},
        EnterPress {"CtrlReturnOnFolder", &TFrmFilesSelect::Details1, "Inside", Qt::Key_Return,
                    Qt::ControlModifier, "Box"}),
    [](const ::testing::TestParamInfo<EnterPress> &testInfo) { return std::string(testInfo.param.name); });

TEST_F(PickerFixture, AddButtonOfThePageOpensThePickerModally)
{
    QTimer::singleShot(0, m_picker, [this] {
        EXPECT_TRUE(m_picker->isModal() || QApplication::activeModalWidget() == m_picker);
        m_picker->BtnFinished->click();
        settle();
    });
    m_page->ActFileAddExecute();
    EXPECT_FALSE(m_picker->isVisible());
}
