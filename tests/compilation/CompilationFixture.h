#pragma once

#include "compilation/CompilationPage.h"
#include "compilation/TFrmFilesSelect.h"
#include "engine/TDVDWriterPro2.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

class QAction;
class QMenu;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

// A small window with the FILETOISO page over a real engine; the page has been entered once. Source trees are
// made under a temporary folder.
class CompilationFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Files and folders below the temporary source folder; answers the native path.
    QString src(const QString &relative) const;
    QString makeFile(const QString &relative, qint64 size);
    QString makeDir(const QString &relative);

    // The root once the page has settled: adds ended, the exact size shown and the file list listed
    // again (the page does all three away from the UI thread).
    QTreeWidgetItem *root() const;
    void settle() const;
    // The first node with that destination path, or null.
    QTreeWidgetItem *node(const QString &destPath) const;
    // Every node, top to bottom, as its destination path indented by two blanks per level.
    QStringList treeShape() const;
    // Every row of the file list as "name|size".
    QStringList rows() const;
    QStringList selectedNodePaths() const;
    int picture(const QTreeWidgetItem *item) const;

    // Real mouse and key input on the views.
    void clickNode(QTreeWidgetItem *item, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void clickTreeEmptySpace();
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void pressKey(QWidget *view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // Answers the next "Set Volume" window with the text and OK, or with Cancel when none.
    void answerVolumeWindow(const std::optional<QString> &text);

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    QSplitter *m_splitter = nullptr;
    QTreeWidget *m_tree = nullptr;
    QTreeWidget *m_list = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_changeVolume = nullptr;
    TFrmFilesSelect *m_picker = nullptr;
    std::unique_ptr<TDVDWriterPro2> m_engine;
    std::unique_ptr<CompilationPage> m_page;
};
