#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "core/PickedItem.h"

class QAbstractItemView;
class QAction;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QListView;
class QMenu;
class QModelIndex;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeView;

// The file and folder picker, "Select Files and Folders". Made once and hidden between uses, so the
// folder it shows and its view style stay as the user left them. It only tells what was picked; the
// compilation page adds it, and closes the picker after "Finished" once the adds have gone well.
class TFrmFilesSelect final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmFilesSelect(QWidget *parent = nullptr);
    ~TFrmFilesSelect() override;

    // The folder the item view shows (the home folder at first; read when the picker first shows).
    QString currentFolder() const { return m_folder; }
    void setCurrentFolder(const QString &path);
    // The item view of the current style.
    QAbstractItemView *ShellListView() const;
    QFileSystemModel *fileSystemModel() const { return m_model; }

    QLabel *Label1 = nullptr;
    QComboBox *ShellDeviceBox = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *ToolButton1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *LargeIcons1 = nullptr;
    QAction *SmallIcons1 = nullptr;
    QAction *List1 = nullptr;
    QAction *Details1 = nullptr;
    QPushButton *BtnAdd = nullptr;
    QPushButton *BtnFinished = nullptr;

    // "Add" and "Finished": what is selected in the item view (possibly nothing) goes out with the
    // press's signal.
    void BtnAddClick();
    void BtnFinishedClick();
    void SpeedButton1Click();
    void LargeIcons1Click();
    void SmallIcons1Click();
    void List1Click();
    void Details1Click();

    // The items selected in the item view, in its order: folders first, then by name.
    QList<PickedItem> selectedItems() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    // A folder's name is the one the view shows, a file's its file name.
    void addPressed(const QList<PickedItem> &items);
    void finishedPressed(const QList<PickedItem> &items);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildViews();
    void buildLocationBar();
    void fillLocationBox();
    void openItem(const QModelIndex &index);
    void showItemMenu(QAbstractItemView *view, const QPoint &pos);
    QFileSystemModel *m_model = nullptr;
    QStackedWidget *m_stack = nullptr;
    QListView *m_listView = nullptr;
    QTreeView *m_detailsView = nullptr;
    QString m_folder;
    bool m_listed = false; // whether the model reads a folder yet
};
