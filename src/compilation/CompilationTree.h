#pragma once

#include "compilation/CompilationRoles.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

// The folder tree of the FILETOISO page: a node per folder of the image, found by its destination
// path, and the order in which the user selected nodes.
class CompilationTree final : public CompilationRoles
{
public:
    // `nodeIcons` per picture: that picture, and the open folder while the node is selected.
    CompilationTree(QTreeWidget *view, QList<QIcon> nodeIcons);

    QTreeWidgetItem *root() const;
    QTreeWidgetItem *addNode(QTreeWidgetItem *parent, const QString &text, const QString &destPath,
                             int picture);
    void setPicture(QTreeWidgetItem *node, int picture);
    void deleteNode(QTreeWidgetItem *node);
    void deleteNodesBelowRoot();
    // No node at all.
    void clear();
    // The image got the folder `destPath` in `parentDest`: every node of the parent gets its child.
    void folderAdded(const QString &parentDest, const QString &destPath, const QString &name);

    // The selected node: the current one when it is selected, else the one selected last.
    QTreeWidgetItem *selectedNode() const;
    // The destination path of the selected node, or the empty text when none is selected.
    QString selectedDestPath() const;
    // The selected nodes in the order in which they were selected.
    QList<QTreeWidgetItem *> selectionOrder() const;
    // Follows a change of the view's selection.
    void trackSelection();
    // Escape: only the node selected first stays selected.
    void keepFirstSelected();

private:
    void forgetNodes(QTreeWidgetItem *node);

    QTreeWidget *m_view;
    QList<QIcon> m_nodeIcons;
    // Every node by its destination path, in the order the nodes were made.
    QHash<QString, QList<QTreeWidgetItem *>> m_nodesByPath;
    QList<QPersistentModelIndex> m_selectionOrder;
};
