#pragma once

#include <QStringList>
#include <QWidget>

class QAction;
class QTimer;
class TAboutForm;
class TDVDWriterPro2;
class TFormSplash;
class TFrmConvertProcess;
class TFrmFilesSelect;
class TThankForm;
class TfrmErase;

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
class TMainForm final : public QWidget
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Takes the windows made after this one; they become children of this window.
    void adoptSecondaryWindows(const SecondaryWindows &windows);
    const SecondaryWindows &secondaryWindows() const { return m_windows; }

    TDVDWriterPro2 *DVDWriterPro = nullptr;
    TDVDWriterPro2 *DVDWriterPro21 = nullptr;
    TDVDWriterPro2 *DVDWriterPro1 = nullptr;
    QStringList FileListBuffer;
    QTimer *TimerSplash = nullptr;
    QAction *ActCDTOISO = nullptr;

    QString currentPageName() const { return m_currentPage; }

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
    void enterPage(const QString &name);

    SecondaryWindows m_windows;
    QString m_currentPage;
};
