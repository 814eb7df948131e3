#include "compilation/CompilationTree.h"

#include <QTreeWidget>

CompilationTree::CompilationTree(QTreeWidget *view, QList<QIcon> nodeIcons)
    : m_view(view)
    , m_nodeIcons(std::move(nodeIcons))
{ }

QTreeWidgetItem *CompilationTree::root() const
{
    return m_view->topLevelItem(0);
}

QTreeWidgetItem *CompilationTree::addNode(QTreeWidgetItem *parent, const QString &text,
                                          const QString &destPath, int picture)
{
    auto *node = new QTreeWidgetItem(QStringList {text});
    node->setData(0, DestPathRole, destPath);
    setPicture(node, picture);
    if (parent)
        parent->addChild(node);
    else
        m_view->addTopLevelItem(node);
    m_nodesByPath[destPath].append(node);
    return node;
}

void CompilationTree::setPicture(QTreeWidgetItem *node, int picture)
{
    node->setData(0, PictureRole, picture);
    node->setIcon(0, m_nodeIcons.value(picture));
}

void CompilationTree::forgetNodes(QTreeWidgetItem *node)
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

void CompilationTree::deleteNode(QTreeWidgetItem *node)
{
    forgetNodes(node);
    delete node;
}

void CompilationTree::deleteNodesBelowRoot()
{
    QTreeWidgetItem *top = root();
    if (!top)
        return;
    while (top->childCount() > 0)
        deleteNode(top->child(top->childCount() - 1));
}

void CompilationTree::clear()
{
    m_view->clear();
    m_nodesByPath.clear();
    m_selectionOrder.clear();
}

void CompilationTree::folderAdded(const QString &parentDest, const QString &destPath, const QString &name)
{
    const auto parents = m_nodesByPath.constFind(parentDest);
    if (parents == m_nodesByPath.constEnd())
        return;
    // Every node that stands for the parent folder gets the child, also when the same folder was
    // reported twice; a copy, since the new node may share the list.
    const QList<QTreeWidgetItem *> matching = *parents;
    for (QTreeWidgetItem *parent : matching)
        addNode(parent, name, destPath, 1);
}

QTreeWidgetItem *CompilationTree::selectedNode() const
{
    QTreeWidgetItem *current = m_view->currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem *> order = selectionOrder();
    return order.isEmpty() ? nullptr : order.constLast();
}

QString CompilationTree::selectedDestPath() const
{
    const QTreeWidgetItem *node = selectedNode();
    return node ? node->data(0, DestPathRole).toString() : QString();
}

QList<QTreeWidgetItem *> CompilationTree::selectionOrder() const
{
    QList<QTreeWidgetItem *> nodes;
    for (const QPersistentModelIndex &index : m_selectionOrder) {
        if (!index.isValid())
            continue;
        QTreeWidgetItem *node = m_view->itemFromIndex(index);
        if (node && node->isSelected())
            nodes.append(node);
    }
    return nodes;
}

void CompilationTree::trackSelection()
{
    const QItemSelectionModel *selection = m_view->selectionModel();
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

void CompilationTree::keepFirstSelected()
{
    const QList<QTreeWidgetItem *> order = selectionOrder();
    for (qsizetype i = order.size() - 1; i >= 1; --i)
        order[i]->setSelected(false);
}
