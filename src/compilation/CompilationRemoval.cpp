#include "compilation/CompilationPage.h"

#include "app/MessageBox.h"
#include "compilation/TFrmSetVolume.h"
#include "core/RootText.h"
#include "engine/TDVDWriterPro2.h"

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
    const QTreeWidgetItem *top = root();
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        if (*it != top)
            doomed.append(QPersistentModelIndex(TsListDir->indexFromItem(*it)));
    }
    for (const QPersistentModelIndex &index : std::as_const(doomed)) {
        if (index.isValid())
            deleteNode(TsListDir->itemFromIndex(index));
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
        TsListDir->setCurrentItem(root());
        TsListDirClick();
    });
}

void CompilationPage::Change1Click()
{
    const QString answer = AskVolumeLabel(window());
    if (answer.isEmpty())
        return;
    m_model.setLabel(answer);
    if (QTreeWidgetItem *top = root())
        top->setText(0, RootText::afterLabelChange(answer, m_sizeText));
}
