#include "mainwindow/TMainForm.h"

#include "app/FileDialogs.h"
#include "app/FileTypeRegistration.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Shell.h"
#include "base/KestraneError.h"
#include "compilation/CompilationPage.h"
#include "core/OffThread.h"
#include "dialogs/TAboutForm.h"
#include "dialogs/TFormSplash.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveAnswers.h"
#include "mainwindow/EngineInstances.h"
#include "mainwindow/MainFormBuild.h"
#include "mainwindow/MainFormSubsystems.h"
#include "mainwindow/PageEntry.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TNotebook.h"
#include "widgets/ImageList.h"
#include "widgets/TsuiSkinForm.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QThreadPool>
#include <QTimer>

namespace {

// A plain QWidget reaches assistive technology as a nameless pane; the main window is the program's
// frame, named by its title.
QAccessibleInterface *mainFormAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TMainForm") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : TMainForm(DriveThread::DefaultAnswerBound, parent)
{ }

TMainForm::TMainForm(std::chrono::milliseconds driveAnswerBound, QWidget *parent)
    : QWidget(parent)
    , m_registration(std::make_unique<QThreadPool>())
{
    static const bool accessible = [] {
        QAccessible::installFactory(&mainFormAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(718, 463);
    // Positions are in pixels, so the text must not grow with the desktop's font settings.
    QFont face = font();
    face.setPointSize(8);
    setFont(face);

    // Which instance does which work: EngineInstances.h.
    const EngineInstances engines = EngineInstances::create(this, driveAnswerBound);
    driveThread = engines.driveThread;
    DVDWriterPro = engines.DVDWriterPro;
    DVDWriterPro21 = engines.DVDWriterPro21;
    DVDWriterPro1 = engines.DVDWriterPro1;

    TimerSplash = new QTimer(this);
    TimerSplash->setObjectName(QStringLiteral("TimerSplash"));
    TimerSplash->setInterval(1000);
    TimerSplash->setSingleShot(false);
    // A coarse timer may fire a little early; the pause before the first page is a promise.
    TimerSplash->setTimerType(Qt::PreciseTimer);
    connect(TimerSplash, &QTimer::timeout, this, &TMainForm::TimerSplashTimer);

    m_strip = new PictureStrip(this);
    m_pageEntry = std::make_unique<PageEntry>(*this);
    MainFormBuild::buildFace(*this);
    buildPages();
    MainFormBuild::setUpActions(*this);
    // The keyboard starts in the first page's first field, not on the first button made: Minimise,
    // which the first Space would press.
    m_cdPage->CboCdList->setFocus(Qt::OtherFocusReason);
    connect(suiSkinForm1, &TsuiSkinForm::OnMouseMove, this, &TMainForm::suiSkinForm1MouseMove);
    connect(Notebook, &TNotebook::OnMouseMove, this, &TMainForm::NotebookMouseMove);

    if (QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());

    FormCreate();
}

TMainForm::~TMainForm()
{
    m_registration->waitForDone();
    // The subsystems go before the pages they act on, and the pages before the engines: the
    // compilation page joins its threads, which still call its engine.
    m_subsystems.reset();
    delete Notebook;
    Notebook = nullptr;
}

void TMainForm::buildPages()
{
    const QList<QIcon> icons = LoadImageList(Globals().ExeFolder);
    const QIcon browse = icons.value(0);
    m_cdPage = new CdToIsoPage(browse, Notebook);
    Notebook->addPage(m_cdPage);
    m_compilationPage = new CompilationPage(*DVDWriterPro21, Notebook);
    Notebook->addPage(m_compilationPage);
    m_burnPage = new BurnIsoPage(browse, Notebook);
    Notebook->addPage(m_burnPage);
    Notebook->setActivePage(QStringLiteral("CDTOISO"));
}

void TMainForm::adoptSecondaryWindows(const SecondaryWindows &windows)
{
    m_windows = windows;
    m_subsystems = std::make_unique<MainFormSubsystems>(*this);
}

QString TMainForm::currentPageName() const
{
    return Notebook->ActivePage();
}

void TMainForm::ShowPictureStrip(QLabel *picture)
{
    m_strip->ShowPictureStrip(picture);
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
    // The scan runs on the drive thread; the first page's drive list is asked after it and so shows
    // what it found.
    TDVDWriterPro2 *engine = DVDWriterPro;
    driveThread->ask(
        this, [engine] { return engine->InitializeDrives(0); },
        [this](std::optional<bool> initialized) {
            if (!initialized)
                ShowMessageBox(DriveNotAnsweringText(driveThread->answerBound()), 1);
            else if (!*initialized)
                ShowMessageBox(QStringLiteral("Drives Cannot be initialized...Contact support!"), 1);
        });
    // Recording the file type reads and writes files: it must not hold up the window's appearance.
    OffThread(
        *m_registration, this,
        []() -> QString {
            try {
                RegisterListFileType();
            } catch (const KestraneError &error) {
                return error.message();
            }
            return {};
        },
        [](const QString &error) {
            if (!error.isEmpty())
                ShowErrorBox(error);
        });
}

void TMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // The first show's pause (with or without the splash) runs once the window is on screen, so that
    // the window appears at once and the first page follows the pause.
    if (Globals().FirstShow) {
        if (!m_firstShowQueued) {
            m_firstShowQueued = true;
            QMetaObject::invokeMethod(this, &TMainForm::FormShow, Qt::QueuedConnection);
        }
        return;
    }
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
            const QString picture =
                g.ExeFolder + QStringLiteral("Image/") + g.ProductFileStem + QStringLiteral(".jpg");
            // A missing or broken picture only costs the splash; the wait below still runs.
            if (splash->loadPicture(picture)) {
                splash->centreOnScreen();
                splash->show();
                splash->repaint();
            }
        }
        TimerSplash->start();
        setUpWindows();
        // The file dialog takes a moment to make: made during the pause (once the window has had time to
        // paint), it opens at once when Load List or Make ISO first asks for it.
        QTimer::singleShot(100, this, [this] { PrepareFileDialogs(this); });
        // The one nested wait of the program: the start-up pause before the first page.
        while (TimerSplash->isActive())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    g.FirstShow = false;
    // The window is on screen during the pause: a page the user chose meanwhile stays the current one.
    if (!m_pageChosenDuringPause)
        ActionList1->ActCDTOISO->trigger();
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
        for (QLabel *label :
             std::initializer_list<QLabel *> {about->Company, about->ProductName1, about->ProductName2,
                                              about->ProductName3, about->Version, about->URL, about->EMAIL})
            label->adjustSize();
        about->ThankButton->setVisible(
            QFileInfo::exists(g.ExeFolder + g.ProductFileStem + QStringLiteral("_thank.txt")));
    }
}

void TMainForm::ActCDTOISOExecute()
{
    m_pageChosenDuringPause = Globals().FirstShow;
    m_pageEntry->EnterCdToIsoPage();
    Notebook->setActivePage(QStringLiteral("CDTOISO"));
}

void TMainForm::ActFILETOISOExecute()
{
    m_pageChosenDuringPause = Globals().FirstShow;
    m_pageEntry->EnterFileToIsoPage();
    Notebook->setActivePage(QStringLiteral("FILETOISO"));
}

void TMainForm::ActBURNISOExecute()
{
    m_pageChosenDuringPause = Globals().FirstShow;
    m_pageEntry->EnterBurnIsoPage();
    Notebook->setActivePage(QStringLiteral("BURNISO"));
}

void TMainForm::ActApplicationCloseExecute()
{
    close();
}

void TMainForm::ActMainFormMinSizeExecute()
{
    showMinimized();
}

void TMainForm::ActWebsiteExecute()
{
    OpenDocument(Globals().HomePageAddress);
}

void TMainForm::ActEMailExecute()
{
    OpenDocument(QStringLiteral("mailto:") + Globals().SupportMailAddress);
}

void TMainForm::ActContentExecute()
{
    const GlobalSettings &g = Globals();
    OpenDocument(QDir::cleanPath(g.ExeFolder + g.HelpFileName));
}

void TMainForm::ActAboutExecute()
{
    if (m_windows.AboutForm)
        m_windows.AboutForm->exec();
}

void TMainForm::suiSkinForm1MouseMove()
{
    m_strip->backgroundMoved(Notebook->ActivePage());
}

void TMainForm::NotebookMouseMove()
{
    m_strip->backgroundMoved(Notebook->ActivePage());
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
