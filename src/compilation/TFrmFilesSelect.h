#pragma once

#include <QDialog>
#include <QString>

#include <functional>

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

// What the picker adds to: the engine's AddFolder(dest, source pattern) and AddFile(dest, file),
// the destination path of the image tree's selected node (empty when none), and how the adds run:
// `runAdds` takes the adds of one press of "Add" (calls of addFolder and addFile, which may throw
// KestraneError) and runs them, away from the UI thread, with the page refresh after them. Without
// it the adds run at once and `refresh` follows.
struct FilesSelectTarget
{
    std::function<void(const QString &, const QString &)> addFolder;
    std::function<void(const QString &, const QString &)> addFile;
    std::function<QString()> selectedDestPath;
    // `afterSuccess` runs once the adds and the refresh have gone well.
    std::function<void(const std::function<void()> &adds, const std::function<void()> &afterSuccess)> runAdds;
    std::function<void()> refresh;
};

// The file and folder picker, "Select Files and Folders". Made once and hidden between uses, so the
// folder it shows and its view style stay as the user left them.
class TFrmFilesSelect final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmFilesSelect(QWidget *parent = nullptr);
    ~TFrmFilesSelect() override;

    void setTarget(const FilesSelectTarget &target);
    const FilesSelectTarget &target() const { return m_target; }

    // The folder the item view shows.
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

    // Each throws KestraneError when the engine fails; the buttons report it in the error box.
    void BtnAddClick();
    void BtnFinishedClick();
    void SpeedButton1Click();
    void LargeIcons1Click();
    void SmallIcons1Click();
    void List1Click();
    void Details1Click();

private:
    // The adds of "Add"; false when nothing was selected.
    void addSelection(const std::function<void()> &afterSuccess);
    void buildViews();
    void buildLocationBar();
    void fillLocationBox();
    void openItem(const QModelIndex &index);
    void showItemMenu(QAbstractItemView *view, const QPoint &pos);
    // Runs a button's work; answers false when an error was reported.
    bool guarded(const std::function<void()> &work);

    FilesSelectTarget m_target;
    QFileSystemModel *m_model = nullptr;
    QStackedWidget *m_stack = nullptr;
    QListView *m_listView = nullptr;
    QTreeView *m_detailsView = nullptr;
    QString m_folder;
    bool m_addsStarted = false; // by the last addSelection, away from the UI thread
};
