#include "TMainForm.h"

#include "FileTypeRegistration.h"
#include "GlobalSettings.h"
#include "KestraneError.h"
#include "MessageBox.h"
#include "TAboutForm.h"
#include "TDVDWriterPro2.h"
#include "TFormSplash.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

TMainForm::TMainForm(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(718, 463);
    DVDWriterPro = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro, this);
    DVDWriterPro21 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro21, this);
    DVDWriterPro1 = new TDVDWriterPro2(TDVDWriterPro2::Instance::DVDWriterPro1, this);

    TimerSplash = new QTimer(this);
    TimerSplash->setObjectName(QStringLiteral("TimerSplash"));
    TimerSplash->setInterval(1000);
    TimerSplash->setSingleShot(false);
    connect(TimerSplash, &QTimer::timeout, this, &TMainForm::TimerSplashTimer);

    ActCDTOISO = new QAction(this);
    ActCDTOISO->setObjectName(QStringLiteral("ActCDTOISO"));
    connect(ActCDTOISO, &QAction::triggered, this, [this] { enterPage(QStringLiteral("CDTOISO")); });

    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::adoptSecondaryWindows(const SecondaryWindows &windows)
{
    m_windows = windows;
}

void TMainForm::FormCreate()
{
    const GlobalSettings &g = Globals();
    setWindowTitle(g.MakerName + QLatin1Char(' ') + g.ProductTitle);
    try {
        ReadSkinSetting();
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    }
    FileListBuffer.clear();
    if (!DVDWriterPro->InitializeDrives(0))
        ShowMessageBox(QStringLiteral("Drives Cannot be initialized...Contact support!"), 1);
    try {
        RegisterListFileType();
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    }
}

void TMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TMainForm::FormShow()
{
    GlobalSettings &g = Globals();
    if (g.FirstShow) {
        if (g.FirstRun)
            TimerSplash->setInterval(4000);
        TFormSplash *splash = m_windows.FormSplash;
        if (g.SplashEnabled && splash) {
            const QString picture = g.ExeFolder + QStringLiteral("Image/") + g.ProductFileStem + QStringLiteral(".jpg");
            // A missing or broken picture only costs the splash; the wait below still runs.
            if (splash->loadPicture(picture)) {
                splash->centreOnScreen();
                splash->show();
                splash->repaint();
            }
        }
        TimerSplash->start();
        setUpWindows();
        // The one nested wait of the program: the start-up pause before the first page.
        while (TimerSplash->isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    g.FirstShow = false;
    ActCDTOISO->trigger();
    Q_EMIT firstShowFinished();
}

void TMainForm::TimerSplashTimer()
{
    TimerSplash->stop();
    if (m_windows.FormSplash)
        m_windows.FormSplash->hide();
}

void TMainForm::setUpWindows()
{
    const GlobalSettings &g = Globals();
    if (TAboutForm *about = m_windows.AboutForm) {
        about->setWindowTitle(g.AboutCaption);
        about->Company->setText(g.MakerName);
        for (QLabel *name : {about->ProductName1, about->ProductName2, about->ProductName3})
            name->setText(g.ProductTitle);
        about->Version->setText(g.AboutVersionLine);
        about->URL->setText(g.HomePageAddress);
        about->EMAIL->setText(g.SupportMailAddress);
        for (QLabel *label : {about->Company, about->ProductName1, about->ProductName2, about->ProductName3,
                              about->Version, about->URL, about->EMAIL})
            label->adjustSize();
        about->ThankButton->setVisible(
            QFileInfo::exists(g.ExeFolder + g.ProductFileStem + QStringLiteral("_thank.txt")));
    }
}

void TMainForm::enterPage(const QString &name)
{
    m_currentPage = name;
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TMainForm::FormClose()
{
    // A settings folder that cannot be written must not keep the user from quitting: report, then close.
    try {
        WriteSkinSetting();
        WriteOptionFile();
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    }
}
