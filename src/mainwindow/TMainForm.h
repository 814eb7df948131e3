#pragma once

#include "mainwindow/PictureStrip.h"
#include "mainwindow/TActionList.h"

#include <QWidget>

#include <chrono>
#include <memory>

class BurnIsoPage;
class CdToIsoPage;
class CompilationPage;
class DriveThread;
class QAction;
class QLabel;
class QThreadPool;
class QTimer;
class MainFormSubsystems;
class PageEntry;
class TAboutForm;
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

// The main window: owns everything that lives for the run and composes the three pages, which own
// their controls; the subsystems do the work. Its face is built by MainFormFace.cpp, its actions by
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
    // The description strip and its banners.
    PictureStrip *pictureStrip() const { return m_strip; }

    TDVDWriterPro2 *DVDWriterPro = nullptr;
    TDVDWriterPro2 *DVDWriterPro21 = nullptr;
    TDVDWriterPro2 *DVDWriterPro1 = nullptr;
    // Every drive-side call of the three engines goes through it.
    DriveThread *driveThread = nullptr;
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

    // The pages, children of the notebook.
    CdToIsoPage *cdPage() const { return m_cdPage; }
    CompilationPage *compilationPage() const { return m_compilationPage; }
    BurnIsoPage *burnPage() const { return m_burnPage; }

    // The commands, each with its picture button; their names are the actions' names.
    TActionList *ActionList1 = nullptr;

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
    void buildPages();

    SecondaryWindows m_windows;
    CdToIsoPage *m_cdPage = nullptr;
    CompilationPage *m_compilationPage = nullptr;
    BurnIsoPage *m_burnPage = nullptr;
    PictureStrip *m_strip = nullptr;
    std::unique_ptr<PageEntry> m_pageEntry;
    std::unique_ptr<MainFormSubsystems> m_subsystems;
    // The file type's recording, away from the UI thread at start-up.
    std::unique_ptr<QThreadPool> m_registration;
    bool m_firstShowQueued = false;
    bool m_pageChosenDuringPause = false;
};
