#include "compilation/CompilationPage.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "base/ErrorText.h"
#include "compilation/CompilationFileList.h"
#include "compilation/CompilationTree.h"
#include "compilation/TFrmFilesSelect.h"
#include "compilation/TFrmSetVolume.h"
#include "core/BackgroundAdd.h"
#include "core/FolderLister.h"
#include "core/ImageSizeCalculator.h"
#include "core/ListFile.h"
#include "core/RootText.h"
#include "core/SizeTexts.h"
#include "engine/TDVDWriterPro2.h"
#include "widgets/ImageList.h"
#include "widgets/PageParts.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSaveFile>
#include <QScopeGuard>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <memory>

namespace {

constexpr int TreeStartWidth = 193;
constexpr int MinimumPaneWidth = 50;
constexpr int PictureCount = 6;
const QString RootPath = QStringLiteral("\\");
const QString NotRemoved = QStringLiteral("Item could not be removed.");
const QString ListFileFilter = QStringLiteral("ISO List File(*.mst)|*.mst");
const QString NotAListFile =
    QStringLiteral("The list file is not accord with the standard fomrat. Please select another one again.");
const QString LoadError = QStringLiteral("File load error, please redo it.");
const QString StillAdding =
    QStringLiteral("Files are still being added to the image. Please wait until this is finished.");
// Work that ends sooner shows only the busy cursor.
constexpr qint64 ProgressAfterMs = 400;
constexpr int ProgressBarHeight = 17;

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
    QList<QIcon> pictures = LoadImageList(Globals().ExeFolder); // the image list as it is drawn
    buildControls(pictures);
    while (pictures.size() < PictureCount)
        pictures.append(QIcon());
    // A node shows its own picture, and the open folder while it is selected.
    QList<QIcon> nodeIcons;
    const QPixmap openFolder = pictures[0].pixmap(16, 16);
    for (const QIcon &picture : std::as_const(pictures)) {
        QIcon icon;
        const QPixmap normal = picture.pixmap(16, 16);
        if (!normal.isNull())
            icon.addPixmap(normal, QIcon::Normal);
        if (!openFolder.isNull())
            icon.addPixmap(openFolder, QIcon::Selected);
        nodeIcons.append(icon);
    }
    m_folderTree = std::make_unique<CompilationTree>(TsListDir, nodeIcons);
    m_fileList = std::make_unique<CompilationFileList>(LsviewFile, pictures[3]);
    setUpViews();
    connectControls();
    connect(m_lister.get(), &FolderLister::listed, m_fileList.get(), &CompilationFileList::showListed);
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
}

void CompilationPage::buildControls(const QList<QIcon> &pictures)
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
    TsListDir->setAccessibleName(QStringLiteral("Folders of the image"));
    LsviewFile->setAccessibleName(QStringLiteral("Files of the selected folder"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ChangeVolume1 = PopupMenu1->addAction(QStringLiteral("Change  Volume"));
    ChangeVolume1->setObjectName(QStringLiteral("ChangeVolume1"));
    if (pictures.size() > 2)
        ChangeVolume1->setIcon(pictures[2]);

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
            [this] { m_folderTree->trackSelection(); });
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
        if (!m_folderTree->root() || (!isAdding() && !m_sizes->isComputing() && m_model.isEmpty()))
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
        m_folderTree->keepFirstSelected();
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
    if (!m_folderTree->root())
        return std::nullopt;
    return m_model.imageLabel();
}

QString CompilationPage::selectedDestPath() const
{
    return m_folderTree->selectedDestPath();
}

QTreeWidgetItem *CompilationPage::selectedNode() const
{
    return m_folderTree->selectedNode();
}

QList<QTreeWidgetItem *> CompilationPage::selectionOrder() const
{
    return m_folderTree->selectionOrder();
}

std::optional<QString> CompilationPage::rootText() const
{
    if (QTreeWidgetItem *node = m_folderTree->root())
        return node->text(0);
    return std::nullopt;
}

// The views.

void CompilationPage::RebuildImageRoot()
{
    m_folderTree->clear();
    m_model.setLabel(QStringLiteral("New Disc"));
    m_sizeText = QStringLiteral("0 MB");
    m_folderTree->addNode(nullptr, RootText::compose(m_model.label(), m_sizeText), RootPath, 0);
    // An empty image has no size to compute: it shows at once.
    if (m_model.isEmpty())
        showSize(0);
    else
        UpdateImageStatistics();
}

void CompilationPage::ShowFolderFiles(const QString &destPath)
{
    // The hourglass for as long as the listing runs, also when it ends with an error.
    window()->setCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([this] { window()->unsetCursor(); });
    stopListing(); // a listing still running in the background is overtaken
    LsviewFile->clear();
    // Rows listed before an engine error still reach the list when the batch ends.
    const CompilationFileList::Batch batch(*m_fileList);
    m_engine.EnumItems(destPath);
}

void CompilationPage::RefreshCompilationInBackground()
{
    const QTreeWidgetItem *node = m_folderTree->selectedNode();
    stopListing();
    LsviewFile->clear();
    m_lister->list(node ? node->data(0, DestPathRole).toString() : RootPath);
    if (QTreeWidgetItem *top = m_folderTree->root())
        top->setExpanded(true);
    UpdateImageStatistics();
}

bool CompilationPage::isListing() const
{
    return m_lister->isListing() || m_fileList->isInserting();
}

void CompilationPage::stopListing()
{
    m_lister->drop();
    m_fileList->stopInserting();
}

void CompilationPage::RefreshCompilation()
{
    const QTreeWidgetItem *node = m_folderTree->selectedNode();
    ShowFolderFiles(node ? node->data(0, DestPathRole).toString() : RootPath);
    if (QTreeWidgetItem *top = m_folderTree->root())
        top->setExpanded(true);
    UpdateImageStatistics();
}

void CompilationPage::DVDWriterPro21ISOItemAdded(const QString &sParentDestPath, const QString &sItemDestPath,
                                                 const QString &sItemName, const QString &, bool bIsDirectory,
                                                 const QDateTime &, qint64)
{
    if (!bIsDirectory)
        return;
    m_folderTree->folderAdded(sParentDestPath, sItemDestPath, sItemName);
}

void CompilationPage::DVDWriterPro21EnumISOItems(const QString &, const QString &sItemDestPath,
                                                 const QString &sItemName, const QString &, bool bIsDirectory,
                                                 const QDateTime &, qint64 lFileSize)
{
    if (!bIsDirectory)
        m_fileList->addFile(sItemName, lFileSize, sItemDestPath);
}

void CompilationPage::TsListDirClick()
{
    QTreeWidgetItem *node = m_folderTree->selectedNode();
    if (!node)
        return;
    if (node == m_folderTree->root())
        m_folderTree->setPicture(node, 2);
    // While an add runs the engine is busy; the refresh at its end lists the selected folder.
    if (isAdding()) {
        m_lastClickedView = TreeView;
        return;
    }
    guarded([this, node] {
        ShowFolderFiles(node->data(0, DestPathRole).toString());
        m_lastClickedView = TreeView;
    });
}

// Removal, clearing and the label.

void CompilationPage::RemoveSelectedItems()
{
    if (m_lastClickedView != NoView && refuseWhileAdding())
        return;
    guarded([this] {
        if (m_lastClickedView == TreeView)
            removeTreeSelection();
        else if (m_lastClickedView == FileListView)
            removeListSelection();
    });
}

void CompilationPage::removeTreeSelection()
{
    const QList<QTreeWidgetItem *> order = m_folderTree->selectionOrder();
    if (order.isEmpty())
        return;
    QList<QTreeWidgetItem *> nodes;
    for (QTreeWidgetItemIterator it(TsListDir); *it; ++it)
        nodes.append(*it);
    // Bottom up, so that a sub-folder goes before the folder that holds it; the root stays.
    for (qsizetype i = nodes.size() - 1; i >= 1; --i) {
        if (!nodes[i]->isSelected())
            continue;
        if (!m_engine.RemoveItem(nodes[i]->data(0, DestPathRole).toString())) {
            ShowMessageBox(NotRemoved, 1);
            return;
        }
    }
    // Persistent indexes, since deleting a node deletes the selected nodes below it as well.
    QList<QPersistentModelIndex> doomed;
    const QTreeWidgetItem *top = m_folderTree->root();
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        if (*it != top)
            doomed.append(QPersistentModelIndex(TsListDir->indexFromItem(*it)));
    }
    for (const QPersistentModelIndex &index : std::as_const(doomed)) {
        if (index.isValid())
            m_folderTree->deleteNode(TsListDir->itemFromIndex(index));
    }
    RefreshCompilation();
}

void CompilationPage::removeListSelection()
{
    QModelIndexList rows = LsviewFile->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList paths;
    paths.reserve(rows.size());
    for (const QModelIndex &row : std::as_const(rows))
        paths.append(LsviewFile->topLevelItem(row.row())->data(0, DestPathRole).toString());
    for (const QString &path : std::as_const(paths)) {
        if (!m_engine.RemoveItem(path))
            ShowMessageBox(NotRemoved, 1);
    }
    // The list is made again from the engine for the selected folder, which is not always the folder
    // the list showed (the tree's selection may have moved by keys since it was listed); away from
    // the UI thread, since that folder may hold tens of thousands of files.
    RefreshCompilationInBackground();
}

void CompilationPage::ClearCompilation()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        m_engine.ResetImage();
        RebuildImageRoot();
        TsListDir->setCurrentItem(m_folderTree->root());
        TsListDirClick();
    });
}

void CompilationPage::Change1Click()
{
    const QString answer = AskVolumeLabel(window());
    if (answer.isEmpty())
        return;
    m_model.setLabel(answer);
    if (QTreeWidgetItem *top = m_folderTree->root())
        top->setText(0, RootText::afterLabelChange(answer, m_sizeText));
}

// The size in the root's text.

void CompilationPage::UpdateImageStatistics()
{
    // libisofs lays the whole image out for its size: seconds for a big compilation, so it is asked
    // on the calculator's thread and shown when it answers.
    m_sizes->request();
}

bool CompilationPage::isSizePending() const
{
    return m_sizes->isWorking();
}

bool CompilationPage::isSizeComputing() const
{
    return m_sizes->isComputing();
}

void CompilationPage::showSize(qint64 bytes)
{
    m_sizeText = SizeTexts::megabytes(bytes);
    if (QTreeWidgetItem *top = m_folderTree->root())
        top->setText(0, RootText::compose(m_model.label(), m_sizeText));
    Q_EMIT SizeShown();
    listAfterSize();
}

void CompilationPage::userClickedTree()
{
    // Listing needs the engine, which the size thread holds while it lays out a big image: the
    // click is answered when the size is known, with the hourglass meanwhile.
    if (m_sizes->isComputing()) {
        if (!m_listAfterSize)
            window()->setCursor(Qt::WaitCursor);
        m_listAfterSize = true;
        return;
    }
    TsListDirClick();
}

void CompilationPage::listAfterSize()
{
    if (!m_listAfterSize)
        return;
    m_listAfterSize = false;
    window()->unsetCursor();
    TsListDirClick();
}

// List files.

// A loaded list goes to the engine on the adding thread; the tree grows again from the items the
// engine reports, which reach the page in batches.
class CompilationPage::PageListSink final : public ListFile::Sink
{
public:
    PageListSink(TDVDWriterPro2 &engine, BackgroundAdd &job)
        : m_engine(engine)
        , m_job(job)
    { }
    void expect(qsizetype lines) override { m_total = lines; }
    void reset() override
    {
        m_reset = true;
        // Until the last line is in, the compilation the user had is kept aside.
        m_engine.KeepImage();
        m_engine.ResetImage();
        m_job.reportReset();
    }
    void addFolder(const QString &destFolder, const QString &source) override
    {
        if (m_job.isCancelled()) {
            m_cancelled = true;
            throw KestraneError(QStringLiteral("The load was cancelled."));
        }
        m_engine.AddFolderReporting(destFolder, source, [this](const ImageItem &item) {
            if (item.isDirectory)
                m_job.reportItem(item);
        });
        m_job.reportProgress(++m_done, m_total);
    }
    bool wasReset() const { return m_reset; }
    bool wasCancelled() const { return m_cancelled; }

private:
    TDVDWriterPro2 &m_engine;
    BackgroundAdd &m_job;
    qint64 m_total = 0;
    qint64 m_done = 0;
    bool m_reset = false;
    bool m_cancelled = false;
};

// What a load on the adding thread found, for the page once it has ended.
struct CompilationPage::LoadOutcome
{
    ListFile::LoadResult result = ListFile::LoadResult::LoadError;
    QString problem;
    bool reset = false;
    bool cancelled = false;
};

void CompilationPage::ActSaveFileListExecute()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        QStringList &buffer = m_fileListBuffer;
        buffer.clear();
        {
            // Every node's files, top to bottom: each gives its line, and its row to the file list.
            const CompilationFileList::Batch batch(*m_fileList);
            QStringList paths;
            for (QTreeWidgetItemIterator it(TsListDir); *it; ++it)
                paths.append((*it)->data(0, DestPathRole).toString());
            buffer = m_model.listFileLines(paths, [this](const ImageItem &file) {
                DVDWriterPro21EnumISOItems(file.parentDest, file.itemDest, file.name, file.sourcePath,
                                           file.isDirectory, file.date, file.size);
            });
        }
        QString fileName;
        AskSaveFileName(ListFileFilter, QStringLiteral(".txt"), fileName);
        if (!fileName.isEmpty()) {
            // Written aside and renamed over the old file: a failed write leaves no half list.
            QSaveFile file(fileName);
            const QByteArray bytes = ListFile::encode(buffer);
            if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
                throw KestraneError(
                    QStringLiteral("Cannot create file \"%1\". %2").arg(fileName, file.errorString()));
        }
        TsListDirClick();
    });
}

void CompilationPage::ActLoadFileListExecute()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        QString fileName;
        AskOpenFileName(ListFileFilter, QStringLiteral(".mst"), fileName);
        if (fileName.isEmpty())
            return;
        auto outcome = std::make_shared<LoadOutcome>();
        TDVDWriterPro2 *engine = &m_engine;
        // Reading the file and adding its lines both run away from the UI thread: a list of
        // 100,000 files takes seconds.
        startAdding(
            [engine, fileName, outcome](BackgroundAdd &job) {
                QFile file(fileName);
                PageListSink sink(*engine, job);
                const std::optional<QString> failure = FailureOf([&] {
                    if (ListFile::open(file, &outcome->problem))
                        outcome->result = ListFile::load(file, sink, &outcome->problem);
                });
                if (failure) {
                    outcome->result = ListFile::LoadResult::LoadError;
                    outcome->problem = *failure;
                }
                outcome->reset = sink.wasReset();
                outcome->cancelled = sink.wasCancelled();
            },
            [this, outcome] { guarded([this, outcome] { endLoad(*outcome); }); });
    });
}

void CompilationPage::endLoad(const LoadOutcome &outcome)
{
    const bool loaded = outcome.result == ListFile::LoadResult::Loaded && !outcome.cancelled;
    if (!loaded && outcome.reset)
        restoreImageBeforeLoad();
    else
        m_engine.DropKeptImage();
    if (outcome.cancelled)
        return;
    switch (outcome.result) {
    case ListFile::LoadResult::NotAListFile:
        ShowMessageBox(NotAListFile, 1);
        return;
    case ListFile::LoadResult::LoadError:
        ShowMessageBox(LoadError, 1, outcome.problem);
        return;
    case ListFile::LoadResult::Loaded:
        break;
    }
    try {
        RefreshCompilation();
    } catch (const KestraneError &error) {
        ShowMessageBox(LoadError, 1, error.message());
    }
}

void CompilationPage::restoreImageBeforeLoad()
{
    // A load either completes or leaves the compilation exactly as it was: the image comes back
    // whole, and the tree grows again from what it holds.
    m_engine.RestoreKeptImage();
    m_folderTree->deleteNodesBelowRoot();
    try {
        addFolderNodes(QStringLiteral("\\"));
        RefreshCompilation();
    } catch (const KestraneError &) {
        // The engine that refused a line refuses the refresh too: the views show no stale rows.
        stopListing();
        LsviewFile->clear();
    }
}

void CompilationPage::addFolderNodes(const QString &destPath)
{
    for (const ImageItem &item : m_engine.ListItems(destPath)) {
        if (!item.isDirectory)
            continue;
        DVDWriterPro21ISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath, true,
                                   item.date, item.size);
        addFolderNodes(item.itemDest);
    }
}

// Work away from the UI thread: loads and the picker's adds.

bool CompilationPage::isAdding() const
{
    return m_adding->isRunning();
}

bool CompilationPage::refuseWhileAdding() const
{
    if (!isAdding())
        return false;
    ShowMessageBox(StillAdding, 1);
    return true;
}

void CompilationPage::CancelAdding()
{
    m_adding->cancel();
}

void CompilationPage::startAdding(const std::function<void(BackgroundAdd &)> &work,
                                  const std::function<void()> &done)
{
    for (QWidget *top : {window(), static_cast<QWidget *>(m_picker)}) {
        if (top)
            top->setCursor(Qt::WaitCursor);
    }
    m_addingStartedMs = QDateTime::currentMSecsSinceEpoch();
    m_progressDone = 0;
    m_progressTotal = 0;
    // Work that reports nothing for a while (one big folder) still gets its bar.
    QTimer::singleShot(ProgressAfterMs + 10, this, [this] {
        if (isAdding())
            addingProgress(m_progressDone, m_progressTotal);
    });
    BackgroundAdd::Handlers handlers;
    handlers.reset = [this] {
        m_folderTree->deleteNodesBelowRoot();
    };
    handlers.items = [this](const QList<ImageItem> &items) {
        for (const ImageItem &item : items)
            DVDWriterPro21ISOItemAdded(item.parentDest, item.itemDest, item.name, item.sourcePath,
                                       item.isDirectory, item.date, item.size);
        // The new folders show while the work goes on.
        if (QTreeWidgetItem *top = m_folderTree->root())
            top->setExpanded(true);
    };
    handlers.progress = [this](qint64 doneCount, qint64 total) {
        addingProgress(doneCount, total);
    };
    handlers.finished = [this, done] {
        if (m_progress)
            m_progress->hide();
        for (QWidget *top : {window(), static_cast<QWidget *>(m_picker)}) {
            if (top)
                top->unsetCursor();
        }
        done();
        Q_EMIT AddingFinished();
    };
    m_adding->start(work, handlers);
}

void CompilationPage::addingProgress(qint64 done, qint64 total)
{
    m_progressDone = done;
    m_progressTotal = total;
    if (QDateTime::currentMSecsSinceEpoch() - m_addingStartedMs < ProgressAfterMs)
        return;
    QWidget *list = LsviewFile;
    if (!m_progress) {
        // As the burn page's bar: thin and without text, here over the foot of the file list.
        m_progress = new QProgressBar(list);
        m_progress->setObjectName(QStringLiteral("PsBarAddFiles"));
        m_progress->setTextVisible(false);
    }
    m_progress->setGeometry(0, list->height() - ProgressBarHeight, list->width(), ProgressBarHeight);
    if (total > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(done * 1000 / total));
    } else {
        m_progress->setRange(0, 0); // how much is left is not known: the bar runs to and fro
    }
    m_progress->show();
    m_progress->raise();
}

void CompilationPage::addPicked(const QList<PickedItem> &items)
{
    if (!items.isEmpty())
        runPickerAdds(items, {});
}

void CompilationPage::finishPicking(const QList<PickedItem> &items)
{
    if (items.isEmpty()) {
        m_picker->accept();
        return;
    }
    runPickerAdds(items, [this] { m_picker->accept(); });
}

void CompilationPage::runPickerAdds(const QList<PickedItem> &items, const std::function<void()> &afterSuccess)
{
    if (refuseWhileAdding())
        return;
    // Where the picks go is read now, from the tree as the user left it; the adds run on another thread.
    const QList<ImageAddition> additions = AdditionsOf(items, selectedDestPath());
    auto failure = std::make_shared<std::optional<QString>>();
    TDVDWriterPro2 *engine = &m_engine;
    startAdding(
        [this, engine, additions, failure](BackgroundAdd &job) {
            // The engine's adding reports each new folder, so that the tree grows while the add runs.
            const auto reportFolder = [this](const ImageItem &item) {
                if (item.isDirectory)
                    m_adding->reportItem(item);
            };
            *failure = FailureOf([&] {
                for (const ImageAddition &addition : additions)
                    AddToImage(*engine, addition, reportFolder);
            });
            job.reportProgress(1, 1);
        },
        [this, failure, afterSuccess] {
            // An error ends the add where it happened; the page is not refreshed then.
            if (*failure) {
                ShowErrorBox(**failure);
                return;
            }
            bool refreshed = false;
            guarded([this, &refreshed] {
                RefreshCompilation();
                refreshed = true;
            });
            if (refreshed && afterSuccess)
                afterSuccess();
        });
}
