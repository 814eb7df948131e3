#pragma once

#include <QStringList>
#include <QWidget>

#include <chrono>
#include <memory>

class DriveThread;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSplitter;
class QTimer;
class QToolButton;
class QTreeWidget;
class MainFormSubsystems;
class PageEntry;
class PictureStrip;
class TAboutForm;
class TActionList;
class TDVDWriterPro2;
class TFormSplash;
class TFrmConvertProcess;
class TFrmFilesSelect;
class TNotebook;
class TThankForm;
class TfrmErase;
class TsuiImageButton;
class TsuiSkinForm;

// The windows created at start-up after the main window, held by it for the whole run.
struct SecondaryWindows
{
    TAboutForm *AboutForm = nullptr;
    TFormSplash *FormSplash = nullptr;
    TThankForm *ThankForm = nullptr;
    TFrmFilesSelect *FrmFilesSelect = nullptr;
    TFrmConvertProcess *FrmConvertProcess = nullptr;
    TfrmErase *frmErase = nullptr;
};

// The main window: owns everything that lives for the run; the subsystems do the work.
// Its face is built by MainFormFace.cpp, its pages by MainFormPages.cpp, its actions by
// ActionSetup.cpp.
class TMainForm final : public QWidget
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    // A drive that does not answer within `driveAnswerBound` is reported to the user.
    explicit TMainForm(std::chrono::milliseconds driveAnswerBound, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Takes the windows made after this one (they become children of this window), then makes the
    // subsystems that act for the pages.
    void adoptSecondaryWindows(const SecondaryWindows &windows);
    const SecondaryWindows &secondaryWindows() const { return m_windows; }
    // Null until the secondary windows are adopted.
    MainFormSubsystems *subsystems() const { return m_subsystems.get(); }

    // The name of the current page.
    QString currentPageName() const;
    // Makes one description picture the visible one, or none.
    void ShowPictureStrip(QLabel *picture);
    PictureStrip *pictureStrip() const { return m_strip; }

    TDVDWriterPro2 *DVDWriterPro = nullptr;
    TDVDWriterPro2 *DVDWriterPro21 = nullptr;
    TDVDWriterPro2 *DVDWriterPro1 = nullptr;
    // Every drive-side call of the three engines goes through it.
    DriveThread *driveThread = nullptr;
    QStringList FileListBuffer;
    QTimer *TimerSplash = nullptr;

    // Frame.
    TsuiSkinForm *suiSkinForm1 = nullptr;
    TsuiImageButton *suiImageButton1 = nullptr; // website
    TsuiImageButton *suiImageButton2 = nullptr; // e-mail
    TsuiImageButton *suiImageButton4 = nullptr; // help
    TsuiImageButton *suiImageButton5 = nullptr; // CD -> ISO
    TsuiImageButton *suiImageButton6 = nullptr; // Data -> ISO
    TsuiImageButton *suiImageButton7 = nullptr; // Burn ISO page
    TsuiImageButton *suiImageButton8 = nullptr; // About
    TsuiImageButton *suiImageButton18 = nullptr; // close
    TsuiImageButton *suiImageButton19 = nullptr; // minimise
    TNotebook *Notebook = nullptr;

    // CDTOISO page.
    QLabel *ImgSourceDrive = nullptr;
    QLabel *ImgOutputIsoFile = nullptr;
    QComboBox *CboCdList = nullptr;
    QLineEdit *EdtSavePath = nullptr;
    QToolButton *SbtnSelSavepath = nullptr;
    TsuiImageButton *suiImageButton15 = nullptr; // Make ISO

    // FILETOISO page.
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

    // BURNISO page.
    QLabel *ImgRecorder = nullptr;
    QLabel *ImgIsoFile = nullptr;
    QComboBox *CboCDRWList = nullptr;
    QLineEdit *EdtBurnISOPath = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QProgressBar *PsBarWriteDisk = nullptr;
    TsuiImageButton *suiImageButton20 = nullptr; // Erase
    TsuiImageButton *suiImageButton16 = nullptr; // Burn ISO
    TsuiImageButton *suiImageButton17 = nullptr; // Cancel

    // Picture strip.
    QLabel *ImgCDTOISO = nullptr;
    QLabel *ImgDATATOISO = nullptr;
    QLabel *ImgBURNISO = nullptr;
    QLabel *ImgAbout = nullptr;
    QLabel *ImgWEBSITE = nullptr;
    QLabel *ImgEmail = nullptr;
    QLabel *ImgHelp = nullptr;
    QLabel *ImgBtnAddFile = nullptr;
    QLabel *ImgBtnRemoveFile = nullptr;
    QLabel *ImgBtnClearAll = nullptr;
    QLabel *ImgBtnSaveList = nullptr;
    QLabel *ImgBtnLoadList = nullptr;
    QLabel *ImgBtnMakeIso = nullptr;
    QLabel *ImgBtnBurnIso = nullptr;
    QLabel *ImgBtnCancel = nullptr;

    // Actions.
    TActionList *ActionList1 = nullptr;
    QAction *ActCDTOISO = nullptr;
    QAction *ActFILETOISO = nullptr;
    QAction *ActBURNISO = nullptr;
    QAction *ActFileAdd = nullptr;
    QAction *ActFileDel = nullptr;
    QAction *ActFileClear = nullptr;
    QAction *ActCDTOISOExec = nullptr;
    QAction *ActFILETOISOExec = nullptr;
    QAction *ActSaveFileList = nullptr;
    QAction *ActLoadFileList = nullptr;
    QAction *ActBURNISOExec = nullptr;
    QAction *ActCancelBURNISOExec = nullptr;
    QAction *ActApplicationClose = nullptr;
    QAction *ActMainFormMinSize = nullptr;
    QAction *ActWebsite = nullptr;
    QAction *ActEMail = nullptr;
    QAction *ActContent = nullptr;
    QAction *ActAbout = nullptr;

    // Page switch: the page's entry work, then the page becomes current.
    void ActCDTOISOExecute();
    void ActFILETOISOExecute();
    void ActBURNISOExecute();
    void ActApplicationCloseExecute();
    void ActMainFormMinSizeExecute();
    void ActWebsiteExecute();
    void ActEMailExecute();
    void ActContentExecute();
    void ActAboutExecute();

Q_SIGNALS:
    // The first show has ended and the first page is current.
    void firstShowFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void TimerSplashTimer();
    void setUpWindows();
    void suiSkinForm1MouseMove();
    void NotebookMouseMove();

    SecondaryWindows m_windows;
    PictureStrip *m_strip = nullptr;
    std::unique_ptr<PageEntry> m_pageEntry;
    std::unique_ptr<MainFormSubsystems> m_subsystems;
};
