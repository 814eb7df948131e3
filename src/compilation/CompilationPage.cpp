#include "compilation/CompilationPage.h"

#include "core/FolderLister.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "base/KestraneError.h"
#include "compilation/TFrmFilesSelect.h"
#include "core/BackgroundAdd.h"
#include "core/ImageSizeCalculator.h"
#include "engine/TDVDWriterPro2.h"
#include "widgets/ImageList.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSplitter>
#include <QTreeWidget>

#include <exception>

namespace {
constexpr int TreeStartWidth = 193;
constexpr int MinimumPaneWidth = 50;
constexpr int PictureCount = 6;
} // namespace

CompilationPage::CompilationPage(const CompilationControls &controls, QObject *parent)
    : QObject(parent)
    , m_c(controls)
    , m_model(*controls.DVDWriterPro21)
    , m_sizes(std::make_unique<ImageSizeCalculator>(*controls.DVDWriterPro21))
    , m_adding(std::make_unique<BackgroundAdd>())
    , m_lister(std::make_unique<FolderLister>(*controls.DVDWriterPro21))
{
    Q_ASSERT(m_c.DVDWriterPro21 && m_c.TsListDir && m_c.LsviewFile);
    m_pictures = LoadImageList(Globals().ExeFolder);
    while (m_pictures.size() < PictureCount)
        m_pictures.append(QIcon());
    // A node shows its own picture, and the open folder while it is selected.
    const QPixmap openFolder = m_pictures[0].pixmap(16, 16);
    for (const QIcon &picture : std::as_const(m_pictures)) {
        QIcon icon;
        const QPixmap normal = picture.pixmap(16, 16);
        if (!normal.isNull())
            icon.addPixmap(normal, QIcon::Normal);
        if (!openFolder.isNull())
            icon.addPixmap(openFolder, QIcon::Selected);
        m_nodeIcons.append(icon);
    }
    m_fileIcon = m_pictures[3];
    setUpViews();
    connectControls();
    connect(m_lister.get(), &FolderLister::listed, this, &CompilationPage::showListedFiles);
    connect(m_lister.get(), &FolderLister::failed, this, [](const QString &reason) { ShowErrorBox(reason); });
}

CompilationPage::~CompilationPage()
{
    // Both threads are joined before the page's views and the engine go; the adding thread may
    // still report through m_adding until then.
    m_adding->stop();
    m_adding.reset();
    m_sizes.reset();
    m_lister.reset();
    qDeleteAll(m_pendingRows);
}

void CompilationPage::setUpViews()
{
    QTreeWidget *tree = m_c.TsListDir;
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setIconSize(QSize(16, 16));
    tree->setMinimumWidth(MinimumPaneWidth);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);

    QTreeWidget *list = m_c.LsviewFile;
    list->setColumnCount(2);
    list->setHeaderLabels({QStringLiteral("File Name"), QStringLiteral("Size")});
    list->header()->setStretchLastSection(false);
    list->setColumnWidth(0, 200);
    list->setColumnWidth(1, 80);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setIconSize(QSize(16, 16));
    list->setMinimumWidth(MinimumPaneWidth);
    list->installEventFilter(this);
    list->viewport()->installEventFilter(this);

    if (QSplitter *splitter = m_c.Splitter1) {
        splitter->setChildrenCollapsible(false);
        const int treePane = splitter->indexOf(m_c.TsListDir);
        const int filesPane = splitter->indexOf(m_c.LsviewFile);
        if (treePane >= 0 && filesPane >= 0) {
            // The tree keeps its width when the window changes size; the list takes the rest.
            splitter->setStretchFactor(treePane, 0);
            splitter->setStretchFactor(filesPane, 1);
            const int total = qMax(splitter->width(), TreeStartWidth + MinimumPaneWidth);
            QList<int> sizes(splitter->count(), 0);
            sizes[treePane] = TreeStartWidth;
            sizes[filesPane] = total - TreeStartWidth - splitter->handleWidth();
            splitter->setSizes(sizes);
        }
    }
}

void CompilationPage::connectControls()
{
    TDVDWriterPro2 *engine = m_c.DVDWriterPro21;
    // The engine raises these inside the call that causes them, on this thread.
    connect(engine, &TDVDWriterPro2::OnISOItemAdded, this, &CompilationPage::DVDWriterPro21ISOItemAdded,
            Qt::DirectConnection);
    connect(engine, &TDVDWriterPro2::OnEnumISOItems, this, &CompilationPage::DVDWriterPro21EnumISOItems,
            Qt::DirectConnection);

    connect(m_sizes.get(), &ImageSizeCalculator::sizeKnown, this, &CompilationPage::showSize);
    connect(m_sizes.get(), &ImageSizeCalculator::failed, this, [this](const QString &reason) {
        ShowErrorBox(reason);
        listAfterSize();
    });

    connect(m_c.TsListDir, &QAbstractItemView::clicked, this, [this] { userClickedTree(); });
    connect(m_c.TsListDir->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { trackSelection(); });
    if (m_c.PopupMenu1) {
        connect(m_c.TsListDir, &QWidget::customContextMenuRequested, m_c.PopupMenu1,
                [this](const QPoint &pos) {
                    m_c.PopupMenu1->popup(m_c.TsListDir->viewport()->mapToGlobal(pos));
                });
    }
    if (m_c.ChangeVolume1)
        connect(m_c.ChangeVolume1, &QAction::triggered, this, [this] { Change1Click(); });

    if (m_c.FrmFilesSelect) {
        FilesSelectTarget target;
        // Called inside the adds that runAdds hands to the adding thread.
        target.addFolder = [this, engine](const QString &dest, const QString &source) {
            engine->AddFolderReporting(dest, source, [this](const ImageItem &item) {
                if (item.isDirectory)
                    m_adding->reportItem(item);
            });
        };
        target.addFile = [this, engine](const QString &dest, const QString &file) {
            engine->AddFileReporting(dest, file, [this](const ImageItem &item) {
                if (item.isDirectory)
                    m_adding->reportItem(item);
            });
        };
        target.selectedDestPath = [this] {
            return selectedDestPath();
        };
        target.runAdds = [this](const std::function<void()> &adds,
                                const std::function<void()> &afterSuccess) {
            runPickerAdds(adds, afterSuccess);
        };
        m_c.FrmFilesSelect->setTarget(target);
    }
}

bool CompilationPage::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == m_c.TsListDir->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            // A right click opens the menu without touching the selection, and a click on empty
            // space keeps it: the click then lists the selected node's folder again.
            if (mouse->button() == Qt::RightButton)
                return true;
            if (mouse->button() == Qt::LeftButton &&
                !m_c.TsListDir->indexAt(mouse->position().toPoint()).isValid()) {
                m_c.TsListDir->setFocus(Qt::MouseFocusReason);
                return true;
            }
        } else if (type == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            // Clicks on a node arrive through clicked(), once the view has updated its selection.
            if (mouse->button() == Qt::LeftButton &&
                !m_c.TsListDir->indexAt(mouse->position().toPoint()).isValid())
                userClickedTree();
        }
    } else if (watched == m_c.LsviewFile->viewport()) {
        if (type == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            LsviewFileClick();
    } else if (type == QEvent::KeyPress && (watched == m_c.TsListDir || watched == m_c.LsviewFile)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete || (key == Qt::Key_Escape && watched == m_c.TsListDir)) {
            if (watched == m_c.TsListDir)
                TsListDirKeyDown(key);
            else
                LsviewFileKeyDown(key);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CompilationPage::guarded(const std::function<void()> &command)
{
    try {
        command();
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    } catch (const std::exception &error) {
        ShowErrorBox(QString::fromLocal8Bit(error.what()));
    }
}

void CompilationPage::EnterFileToIsoPage()
{
    guarded([this] {
        // While an add or a size computation runs the root exists and the engine is busy: nothing
        // to rebuild, and asking would wait for it.
        if (!root() || (!isAdding() && !m_sizes->isComputing() && m_model.isEmpty()))
            RebuildImageRoot();
    });
    // The file list stays empty until a folder of the tree is clicked.
    stopListing();
    m_c.LsviewFile->clear();
}

void CompilationPage::TsListDirKeyDown(int key)
{
    if (key == Qt::Key_Delete)
        RemoveSelectedItems();
    else if (key == Qt::Key_Escape && isAdding())
        CancelAdding();
    else if (key == Qt::Key_Escape)
        keepFirstSelected();
}

void CompilationPage::LsviewFileKeyDown(int key)
{
    if (key == Qt::Key_Delete)
        RemoveSelectedItems();
}

void CompilationPage::LsviewFileClick()
{
    m_lastClickedView = FileListView;
}

void CompilationPage::ActFileAddExecute()
{
    if (!m_c.FrmFilesSelect || refuseWhileAdding())
        return;
    if (m_c.MainForm) {
        QRect frame = m_c.FrmFilesSelect->frameGeometry();
        frame.moveCenter(m_c.MainForm->frameGeometry().center());
        m_c.FrmFilesSelect->move(frame.topLeft());
    }
    m_c.FrmFilesSelect->exec();
}

std::optional<QString> CompilationPage::imageLabel() const
{
    if (!root())
        return std::nullopt;
    return m_model.imageLabel();
}

std::optional<QString> CompilationPage::rootText() const
{
    if (QTreeWidgetItem *node = root())
        return node->text(0);
    return std::nullopt;
}
