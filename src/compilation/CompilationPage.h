#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "compilation/CompilationRoles.h"
#include "core/CompilationModel.h"
#include "core/PickedItem.h"
#include "engine/ImageItem.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BackgroundAdd;
class CompilationFileList;
class CompilationTree;
class FolderLister;
class ImageSizeCalculator;
class QAction;
class QLocale;
class QMenu;
class QProgressBar;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;
class TDVDWriterPro2;
class TFrmFilesSelect;
class TsuiImageButton;

// The FILETOISO page: its controls, and the compilation they show. It mirrors the image of
// DVDWriterPro21 in the folder tree (CompilationTree) and the file list (CompilationFileList), and
// carries out the user's commands: adding, removal, the label, the size display and the list files.
// What the compilation holds is asked of its CompilationModel; the tree grows from the engine's add
// events and the file list is filled by enumerating one folder.
class CompilationPage final : public QWidget, public CompilationRoles
{
    Q_OBJECT
public:
    // Which view removal acts on.
    enum ClickedView { NoView = 0, TreeView = 1, FileListView = 2 };

    // `engine` (DVDWriterPro21) must outlive the page.
    explicit CompilationPage(TDVDWriterPro2 &engine, QWidget *parent = nullptr);
    ~CompilationPage() override;

    // The picker "Add File" opens; its picks are added to the image here.
    void setPicker(TFrmFilesSelect *picker);

    QWidget *Panel1 = nullptr;
    QSplitter *Splitter1 = nullptr;
    QTreeWidget *TsListDir = nullptr;
    QTreeWidget *LsviewFile = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *ChangeVolume1 = nullptr;
    TsuiImageButton *suiImageButton9 = nullptr; // Add File
    TsuiImageButton *suiImageButton10 = nullptr; // Remove File
    TsuiImageButton *suiImageButton11 = nullptr; // Clear All
    TsuiImageButton *suiImageButton13 = nullptr; // Save List
    TsuiImageButton *suiImageButton14 = nullptr; // Load List
    TsuiImageButton *suiImageButton12 = nullptr; // Make ISO

    // Page entry: a root for an empty image, an empty file list. The picture strip is the main
    // window's.
    void EnterFileToIsoPage();

    // Tree and list. These throw KestraneError when the engine fails.
    void RebuildImageRoot();
    void ShowFolderFiles(const QString &destPath);
    void RefreshCompilation();
    // RefreshCompilation with the folder listed away from the UI thread: the rows come when the
    // listing has ended (a folder of 50,000 files takes the engine a good part of a second).
    void RefreshCompilationInBackground();
    // A listing asked for and not yet shown.
    bool isListing() const;
    void DVDWriterPro21ISOItemAdded(const QString &sParentDestPath, const QString &sItemDestPath,
                                    const QString &sItemName, const QString &SourceFilePath,
                                    bool bIsDirectory, const QDateTime &dteFileDate, qint64 lFileSize);
    void DVDWriterPro21EnumISOItems(const QString &sParentDestPath, const QString &sItemDestPath,
                                    const QString &sItemName, const QString &sSourceFilePath,
                                    bool bIsDirectory, const QDateTime &dteFileDate, qint64 lFileSize);

    // User commands: each reports an engine error through the error box and returns.
    void TsListDirClick();
    void LsviewFileClick();
    void TsListDirKeyDown(int key);
    void LsviewFileKeyDown(int key);
    void ActFileAddExecute();
    void RemoveSelectedItems();
    void ClearCompilation();
    void Change1Click();
    void ActSaveFileListExecute();
    void ActLoadFileListExecute();

    // The size in the root's text. The size is computed away from the UI thread: the root keeps its last size
    // until the exact new one is known (SizeShown).
    void UpdateImageStatistics();
    // A size computation asked for and not yet shown; one that holds the engine right now.
    bool isSizePending() const;
    bool isSizeComputing() const;

    // Load List and the picker's adds run away from the UI thread. Meanwhile commands that would
    // conflict are refused with a message.
    bool isAdding() const;
    // Stops a running load at its next line; the compilation is then as it was before the load.
    void CancelAdding();
    // True, after telling the user, when an add runs and `command` must not start.
    bool refuseWhileAdding() const;

    ClickedView LastClickedView() const { return m_lastClickedView; }
    const CompilationModel &model() const { return m_model; }
    // The root's text; none before the page was first entered.
    std::optional<QString> rootText() const;
    // The label an image written from this page gets, read from the root's text; none before the
    // page was first entered.
    std::optional<QString> imageLabel() const;
    // The destination path of the selected tree node, or the empty text when none is selected.
    QString selectedDestPath() const;
    // The selected node: the current one when it is selected, else the one selected last.
    QTreeWidgetItem *selectedNode() const;
    // The selected nodes in the order in which they were selected.
    QList<QTreeWidgetItem *> selectionOrder() const;
    // The lines of the list file saved last.
    const QStringList &fileListBuffer() const { return m_fileListBuffer; }

Q_SIGNALS:
    // The root shows the exact size of the image as it is now.
    void SizeShown();
    // A load or an add that ran away from the UI thread has ended and the page shows its outcome.
    void AddingFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    class PageListSink;
    struct LoadOutcome;

    void buildControls(const QList<QIcon> &pictures);
    void setUpViews();
    void connectControls();
    // Runs a user command; an engine error reaches the error box.
    void guarded(const std::function<void()> &command);

    // Drops a background listing and the rows of one still being inserted.
    void stopListing();

    // Removal.
    void removeTreeSelection();
    void removeListSelection();

    // After a load that failed or was cancelled once the image was reset:
    // the compilation from before the load, in the engine and in the views.
    void restoreImageBeforeLoad();
    void addFolderNodes(const QString &destPath);
    void endLoad(const LoadOutcome &outcome);

    // Size display.
    void showSize(qint64 bytes);
    // A mouse click on the tree; waits for a running size computation.
    void userClickedTree();
    void listAfterSize();

    // Background adds: the views follow the work's reports; the busy cursor
    // and, for long work, the progress bar show that it runs; `done` runs when it has ended.
    void startAdding(const std::function<void(BackgroundAdd &)> &work, const std::function<void()> &done);
    void addingProgress(qint64 done, qint64 total);
    // The picker's "Add" and "Finished": the picks go into the selected folder of the tree; Finished
    // closes the picker once they have gone in well.
    void addPicked(const QList<PickedItem> &items);
    void finishPicking(const QList<PickedItem> &items);
    void runPickerAdds(const QList<PickedItem> &items, const std::function<void()> &afterSuccess);

    TDVDWriterPro2 &m_engine;
    TFrmFilesSelect *m_picker = nullptr;
    QStringList m_fileListBuffer;
    CompilationModel m_model;
    std::unique_ptr<ImageSizeCalculator> m_sizes;
    std::unique_ptr<BackgroundAdd> m_adding;
    std::unique_ptr<FolderLister> m_lister;
    std::unique_ptr<CompilationTree> m_folderTree;
    std::unique_ptr<CompilationFileList> m_fileList;
    QProgressBar *m_progress = nullptr; // over the foot of the file list while long work runs
    bool m_listAfterSize = false; // a tree click waits for the size computation
    qint64 m_addingStartedMs = 0;
    qint64 m_progressDone = 0;
    qint64 m_progressTotal = 0; // 0: how much is left is not known
    QString m_sizeText = QStringLiteral("0 MB"); // as the root shows it
    ClickedView m_lastClickedView = NoView;
};
