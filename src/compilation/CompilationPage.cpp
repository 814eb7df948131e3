#include "compilation/CompilationPage.h"

#include "core/FolderLister.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "base/ErrorText.h"
#include "compilation/TFrmFilesSelect.h"
#include "core/BackgroundAdd.h"
#include "core/ImageSizeCalculator.h"
#include "engine/TDVDWriterPro2.h"
#include "widgets/ImageList.h"
#include "widgets/PageParts.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QHBoxLayout>
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

CompilationPage::CompilationPage(TDVDWriterPro2 &engine, QWidget *parent)
    : QWidget(parent)
    , m_engine(engine)
    , m_model(engine)
    , m_sizes(std::make_unique<ImageSizeCalculator>(engine))
    , m_adding(std::make_unique<BackgroundAdd>())
    , m_lister(std::make_unique<FolderLister>(engine))
{
    setObjectName(QStringLiteral("FILETOISO"));
    m_pictures = LoadImageList(Globals().ExeFolder);
    buildControls();
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

void CompilationPage::buildControls()
{
    const QString folder = Globals().ExeFolder;
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(1, 2, 522, 227);
    auto *layout = new QHBoxLayout(Panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Horizontal, Panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    layout->addWidget(Splitter1);

    TsListDir = new QTreeWidget(Splitter1);
    TsListDir->setObjectName(QStringLiteral("TsListDir"));
    LsviewFile = new QTreeWidget(Splitter1);
    LsviewFile->setObjectName(QStringLiteral("LsviewFile"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ChangeVolume1 = PopupMenu1->addAction(QStringLiteral("Change  Volume"));
    ChangeVolume1->setObjectName(QStringLiteral("ChangeVolume1"));
    if (m_pictures.size() > 2)
        ChangeVolume1->setIcon(m_pictures[2]);

    suiImageButton9 = PageParts::pageButton(this, "suiImageButton9", "AddFile", {23, 238}, folder);
    suiImageButton10 = PageParts::pageButton(this, "suiImageButton10", "RemoveFile", {102, 238}, folder);
    suiImageButton11 = PageParts::pageButton(this, "suiImageButton11", "ClearAll", {182, 238}, folder);
    suiImageButton13 = PageParts::pageButton(this, "suiImageButton13", "SaveList", {262, 238}, folder);
    suiImageButton14 = PageParts::pageButton(this, "suiImageButton14", "LoadList", {342, 238}, folder);
    suiImageButton12 = PageParts::pageButton(this, "suiImageButton12", "MakeIso", {422, 238}, folder);
}

void CompilationPage::setUpViews()
{
    QTreeWidget *tree = TsListDir;
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setIconSize(QSize(16, 16));
    tree->setMinimumWidth(MinimumPaneWidth);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);

    QTreeWidget *list = LsviewFile;
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

    if (QSplitter *splitter = Splitter1) {
        splitter->setChildrenCollapsible(false);
        const int treePane = splitter->indexOf(TsListDir);
        const int filesPane = splitter->indexOf(LsviewFile);
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
    TDVDWriterPro2 *engine = &m_engine;
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

    connect(TsListDir, &QAbstractItemView::clicked, this, [this] { userClickedTree(); });
    connect(TsListDir->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { trackSelection(); });
    if (PopupMenu1) {
        connect(TsListDir, &QWidget::customContextMenuRequested, PopupMenu1,
                [this](const QPoint &pos) { PopupMenu1->popup(TsListDir->viewport()->mapToGlobal(pos)); });
    }
    if (ChangeVolume1)
        connect(ChangeVolume1, &QAction::triggered, this, [this] { Change1Click(); });
}

void CompilationPage::setPicker(TFrmFilesSelect *picker)
{
    m_picker = picker;
    connect(picker, &TFrmFilesSelect::addPressed, this, &CompilationPage::addPicked);
    connect(picker, &TFrmFilesSelect::finishedPressed, this, &CompilationPage::finishPicking);
}

bool CompilationPage::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == TsListDir->viewport()) {
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            // A right click opens the menu without touching the selection, and a click on empty
            // space keeps it: the click then lists the selected node's folder again.
            if (mouse->button() == Qt::RightButton)
                return true;
            if (mouse->button() == Qt::LeftButton &&
                !TsListDir->indexAt(mouse->position().toPoint()).isValid()) {
                TsListDir->setFocus(Qt::MouseFocusReason);
                return true;
            }
        } else if (type == QEvent::MouseButtonRelease) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            // Clicks on a node arrive through clicked(), once the view has updated its selection.
            if (mouse->button() == Qt::LeftButton &&
                !TsListDir->indexAt(mouse->position().toPoint()).isValid())
                userClickedTree();
        }
    } else if (watched == LsviewFile->viewport()) {
        if (type == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            LsviewFileClick();
    } else if (type == QEvent::KeyPress && (watched == TsListDir || watched == LsviewFile)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Delete || (key == Qt::Key_Escape && watched == TsListDir)) {
            if (watched == TsListDir)
                TsListDirKeyDown(key);
            else
                LsviewFileKeyDown(key);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CompilationPage::guarded(const std::function<void()> &command)
{
    if (const std::optional<QString> failure = FailureOf(command))
        ShowErrorBox(*failure);
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
    LsviewFile->clear();
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
    if (!m_picker || refuseWhileAdding())
        return;
    QRect frame = m_picker->frameGeometry();
    frame.moveCenter(window()->frameGeometry().center());
    m_picker->move(frame.topLeft());
    m_picker->exec();
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
