#include "compilation/CompilationPage.h"

#include "core/FolderLister.h"
#include "core/RootText.h"
#include "core/SizeTexts.h"
#include "engine/TDVDWriterPro2.h"

#include <QScopeGuard>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {

const QString RootPath = QStringLiteral("\\");

// A file row keeps its texts as fields and answers the view from them: a big folder's rows cost
// one allocation each instead of one per role.
class FileRow final : public QTreeWidgetItem
{
public:
    FileRow(const QString &name, QString size, const QString &destPath, const QIcon &icon)
        : QTreeWidgetItem(UserType)
        , m_name(name)
        , m_size(std::move(size))
        , m_destPath(destPath)
        , m_icon(icon)
    { }

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            switch (role) {
            case Qt::DisplayRole:
            case Qt::EditRole:
            case Qt::ToolTipRole:
                return m_name;
            case Qt::DecorationRole:
                return m_icon;
            case CompilationPage::DestPathRole:
                return m_destPath;
            case CompilationPage::PictureRole:
                return 3;
            default:
                break;
            }
        } else if (column == 1) {
            if (role == Qt::DisplayRole || role == Qt::EditRole)
                return m_size;
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        }
        return QTreeWidgetItem::data(column, role);
    }

private:
    QString m_name;
    QString m_size;
    QString m_destPath;
    QIcon m_icon;
};

} // namespace

QTreeWidgetItem *CompilationPage::root() const
{
    return TsListDir->topLevelItem(0);
}

QTreeWidgetItem *CompilationPage::addNode(QTreeWidgetItem *parent, const QString &text,
                                          const QString &destPath, int picture)
{
    auto *node = new QTreeWidgetItem(QStringList {text});
    node->setData(0, DestPathRole, destPath);
    setPicture(node, picture);
    if (parent)
        parent->addChild(node);
    else
        TsListDir->addTopLevelItem(node);
    m_nodesByPath[destPath].append(node);
    return node;
}

void CompilationPage::setPicture(QTreeWidgetItem *node, int picture)
{
    node->setData(0, PictureRole, picture);
    node->setIcon(0, m_nodeIcons.value(picture));
}

void CompilationPage::forgetNodes(QTreeWidgetItem *node)
{
    for (int i = 0; i < node->childCount(); ++i)
        forgetNodes(node->child(i));
    const QString path = node->data(0, DestPathRole).toString();
    auto it = m_nodesByPath.find(path);
    if (it != m_nodesByPath.end()) {
        it->removeOne(node);
        if (it->isEmpty())
            m_nodesByPath.erase(it);
    }
}

void CompilationPage::deleteNode(QTreeWidgetItem *node)
{
    forgetNodes(node);
    delete node;
}

void CompilationPage::deleteNodesBelowRoot()
{
    QTreeWidgetItem *top = root();
    if (!top)
        return;
    while (top->childCount() > 0)
        deleteNode(top->child(top->childCount() - 1));
}

void CompilationPage::RebuildImageRoot()
{
    TsListDir->clear();
    m_nodesByPath.clear();
    m_selectionOrder.clear();
    m_model.setLabel(QStringLiteral("New Disc"));
    m_sizeText = QStringLiteral("0 MB");
    addNode(nullptr, RootText::compose(m_model.label(), m_sizeText), RootPath, 0);
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
    const RowBatch batch(*this);
    m_engine.EnumItems(destPath);
}

void CompilationPage::RefreshCompilationInBackground()
{
    const QTreeWidgetItem *node = selectedNode();
    stopListing();
    LsviewFile->clear();
    m_lister->list(node ? node->data(0, DestPathRole).toString() : RootPath);
    if (QTreeWidgetItem *top = root())
        top->setExpanded(true);
    UpdateImageStatistics();
}

bool CompilationPage::isListing() const
{
    return m_lister->isListing() || m_listedSerial != 0;
}

void CompilationPage::stopListing()
{
    m_lister->drop();
    m_listedSerial = 0;
    m_listed.clear();
}

void CompilationPage::showListedFiles(const std::vector<ImageItem> &items)
{
    LsviewFile->clear();
    m_listed = items;
    m_listedNext = 0;
    static uint64_t serials = 0;
    m_listedSerial = ++serials;
    appendListedRows(m_listedSerial);
}

void CompilationPage::appendListedRows(uint64_t serial)
{
    if (serial != m_listedSerial)
        return; // overtaken by another listing, or the list was emptied
    // A slice per turn of the event loop: 50,000 rows made and inserted at once would hold the window
    // for a good part of a second.
    constexpr size_t RowsPerTurn = 2000;
    {
        const RowBatch batch(*this);
        const size_t end = std::min(m_listed.size(), m_listedNext + RowsPerTurn);
        for (; m_listedNext < end; ++m_listedNext) {
            const ImageItem &item = m_listed[m_listedNext];
            if (!item.isDirectory)
                m_pendingRows.append(
                    new FileRow(item.name, m_sizeTexts.kilobytes(item.size), item.itemDest, m_fileIcon));
        }
    }
    if (m_listedNext < m_listed.size()) {
        QTimer::singleShot(0, this, [this, serial] { appendListedRows(serial); });
        return;
    }
    m_listed.clear();
    m_listedSerial = 0;
}

void CompilationPage::flushRows()
{
    if (m_pendingRows.isEmpty())
        return;
    QList<QTreeWidgetItem *> rows;
    rows.swap(m_pendingRows);
    LsviewFile->addTopLevelItems(rows);
}

void CompilationPage::RefreshCompilation()
{
    const QTreeWidgetItem *node = selectedNode();
    ShowFolderFiles(node ? node->data(0, DestPathRole).toString() : RootPath);
    if (QTreeWidgetItem *top = root())
        top->setExpanded(true);
    UpdateImageStatistics();
}

void CompilationPage::DVDWriterPro21ISOItemAdded(const QString &sParentDestPath, const QString &sItemDestPath,
                                                 const QString &sItemName, const QString &, bool bIsDirectory,
                                                 const QDateTime &, qint64)
{
    if (!bIsDirectory)
        return;
    const auto parents = m_nodesByPath.constFind(sParentDestPath);
    if (parents == m_nodesByPath.constEnd())
        return;
    // Every node that stands for the parent folder gets the child, also when the same folder was
    // reported twice; a copy, since the new node may share the list.
    const QList<QTreeWidgetItem *> matching = *parents;
    for (QTreeWidgetItem *parent : matching)
        addNode(parent, sItemName, sItemDestPath, 1);
}

void CompilationPage::DVDWriterPro21EnumISOItems(const QString &, const QString &sItemDestPath,
                                                 const QString &sItemName, const QString &, bool bIsDirectory,
                                                 const QDateTime &, qint64 lFileSize)
{
    if (bIsDirectory)
        return;
    QString size = m_rowBatchDepth > 0 ? m_sizeTexts.kilobytes(lFileSize) : SizeTexts::kilobytes(lFileSize);
    auto *row = new FileRow(sItemName, std::move(size), sItemDestPath, m_fileIcon);
    if (m_rowBatchDepth > 0)
        m_pendingRows.append(row);
    else
        LsviewFile->addTopLevelItem(row);
}

void CompilationPage::TsListDirClick()
{
    QTreeWidgetItem *node = selectedNode();
    if (!node)
        return;
    if (node == root())
        setPicture(node, 2);
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

QTreeWidgetItem *CompilationPage::selectedNode() const
{
    QTreeWidgetItem *current = TsListDir->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem *> order = selectionOrder();
    return order.isEmpty() ? nullptr : order.constLast();
}

QString CompilationPage::selectedDestPath() const
{
    const QTreeWidgetItem *node = selectedNode();
    return node ? node->data(0, DestPathRole).toString() : QString();
}

QList<QTreeWidgetItem *> CompilationPage::selectionOrder() const
{
    QList<QTreeWidgetItem *> nodes;
    for (const QPersistentModelIndex &index : m_selectionOrder) {
        if (!index.isValid())
            continue;
        QTreeWidgetItem *node = TsListDir->itemFromIndex(index);
        if (node && node->isSelected())
            nodes.append(node);
    }
    return nodes;
}

void CompilationPage::trackSelection()
{
    const QItemSelectionModel *selection = TsListDir->selectionModel();
    QList<QPersistentModelIndex> order;
    for (const QPersistentModelIndex &index : std::as_const(m_selectionOrder)) {
        if (index.isValid() && selection->isSelected(index))
            order.append(index);
    }
    const QModelIndexList selected = selection->selectedIndexes();
    for (const QModelIndex &index : selected) {
        if (index.column() == 0 && !order.contains(QPersistentModelIndex(index)))
            order.append(QPersistentModelIndex(index));
    }
    m_selectionOrder = order;
}

void CompilationPage::keepFirstSelected()
{
    const QList<QTreeWidgetItem *> order = selectionOrder();
    for (qsizetype i = order.size() - 1; i >= 1; --i)
        order[i]->setSelected(false);
}
