#include "compilation/CompilationPage.h"

#include "app/MessageBox.h"
#include "compilation/RootText.h"
#include "compilation/TFrmSetVolume.h"
#include "engine/TDVDWriterPro2.h"

#include <QSet>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace {
const QString NotRemoved = QStringLiteral("Item could not be removed.");
}

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
    const QList<QTreeWidgetItem *> order = selectionOrder();
    if (order.isEmpty())
        return;
    QList<QTreeWidgetItem *> nodes;
    for (QTreeWidgetItemIterator it(m_c.TsListDir); *it; ++it)
        nodes.append(*it);
    // Bottom up, so that a sub-folder goes before the folder that holds it; the root stays.
    for (qsizetype i = nodes.size() - 1; i >= 1; --i) {
        if (!nodes[i]->isSelected())
            continue;
        if (!m_c.DVDWriterPro21->RemoveItem(nodes[i]->data(0, DestPathRole).toString())) {
            ShowMessageBox(NotRemoved, 1);
            return;
        }
    }
    // Persistent indexes, since deleting a node deletes the selected nodes below it as well.
    QList<QPersistentModelIndex> doomed;
    const QTreeWidgetItem *top = root();
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        if (*it != top)
            doomed.append(QPersistentModelIndex(m_c.TsListDir->indexFromItem(*it)));
    }
    for (const QPersistentModelIndex &index : std::as_const(doomed)) {
        if (index.isValid())
            deleteNode(m_c.TsListDir->itemFromIndex(index));
    }
    RefreshCompilation();
}

void CompilationPage::removeListSelection()
{
    QModelIndexList rows = m_c.LsviewFile->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.size());
    for (const QModelIndex &row : std::as_const(rows))
        items.append(m_c.LsviewFile->topLevelItem(row.row()));
    QSet<QTreeWidgetItem *> removed;
    bool refused = false;
    for (QTreeWidgetItem *item : std::as_const(items)) {
        if (m_c.DVDWriterPro21->RemoveItem(item->data(0, DestPathRole).toString())) {
            removed.insert(item);
        } else {
            refused = true;
            ShowMessageBox(NotRemoved, 1);
        }
    }
    // A refusal means the list no longer matches the image: it is listed again. Otherwise only the
    // removed rows go, which in a folder of 50,000 files is far cheaper than listing it again.
    if (refused) {
        RefreshCompilation();
        return;
    }
    dropFileRows(removed);
    if (QTreeWidgetItem *top = root())
        top->setExpanded(true);
    UpdateImageStatistics();
}

void CompilationPage::dropFileRows(const QSet<QTreeWidgetItem *> &rows)
{
    if (rows.isEmpty())
        return;
    // One by one keeps the scroll position, but each costs a search through the list: many rows go
    // in one pass over the list instead.
    if (rows.size() <= 64) {
        for (QTreeWidgetItem *row : rows)
            delete row;
        return;
    }
    QList<QTreeWidgetItem *> kept = m_c.LsviewFile->invisibleRootItem()->takeChildren();
    kept.removeIf([&rows](QTreeWidgetItem *row) {
        if (!rows.contains(row))
            return false;
        delete row;
        return true;
    });
    m_c.LsviewFile->addTopLevelItems(kept);
}

void CompilationPage::ClearCompilation()
{
    if (refuseWhileAdding())
        return;
    guarded([this] {
        m_c.DVDWriterPro21->ResetImage();
        RebuildImageRoot();
        m_c.TsListDir->setCurrentItem(root());
        TsListDirClick();
    });
}

void CompilationPage::Change1Click()
{
    const QString answer = AskVolumeLabel(m_c.MainForm);
    if (answer.isEmpty())
        return;
    m_model.setLabel(answer);
    if (QTreeWidgetItem *top = root())
        top->setText(0, RootText::afterLabelChange(answer, m_sizeText));
}
