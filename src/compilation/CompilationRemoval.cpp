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
    QStringList paths;
    paths.reserve(rows.size());
    for (const QModelIndex &row : std::as_const(rows))
        paths.append(m_c.LsviewFile->topLevelItem(row.row())->data(0, DestPathRole).toString());
    for (const QString &path : std::as_const(paths)) {
        if (!m_c.DVDWriterPro21->RemoveItem(path))
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
