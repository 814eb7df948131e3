#include "main/Startup.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Registry.h"
#include "base/KestraneError.h"
#include "compilation/TFrmFilesSelect.h"
#include "dialogs/TAboutForm.h"
#include "dialogs/TFormSplash.h"
#include "dialogs/TThankForm.h"
#include "jobs/TFrmConvertProcess.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/TMainForm.h"

#include <QApplication>
#include <QMetaObject>

namespace {

// A settings file that exists but cannot be read is reported, and start-up goes on.
template<typename Step>
void reported(Step step)
{
    try {
        step();
    } catch (const KestraneError &error) {
        ShowErrorBox(error.message());
    }
}

} // namespace

Startup::Startup(QString exeFolder, QString exePath, QStringList arguments)
    : m_exeFolder(std::move(exeFolder))
    , m_exePath(std::move(exePath))
    , m_arguments(std::move(arguments))
{ }

Startup::~Startup() = default;

bool Startup::splashSuppressed(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("-nosplash"), Qt::CaseSensitive);
}

TMainForm *Startup::run()
{
    GlobalSettings &g = Globals();
    g = GlobalSettings {};
    g.ExePath = m_exePath;
    reported([this] { InitProductSettings(m_exeFolder); });
    reported(ReadOptionFile);
    RecordFirstRun();
    RecordExecutablePath();
    g.SplashEnabled = true;
    g.FirstShow = true;
    if (splashSuppressed(m_arguments))
        g.SplashEnabled = false;
    QCoreApplication::setApplicationName(g.ProductTitle);

    m_mainForm = std::make_unique<TMainForm>();
    TMainForm *main = m_mainForm.get();
    SecondaryWindows windows;
    windows.AboutForm = new TAboutForm(main);
    windows.FormSplash = new TFormSplash(main);
    windows.ThankForm = new TThankForm(main);
    windows.FrmFilesSelect = new TFrmFilesSelect(main);
    windows.FrmConvertProcess = new TFrmConvertProcess(main);
    windows.frmErase = new TfrmErase(main);
    windows.AboutForm->setThankForm(windows.ThankForm);
    main->adoptSecondaryWindows(windows);

    // The loop shows the main window, as the program's first event.
    QMetaObject::invokeMethod(main, &QWidget::show, Qt::QueuedConnection);
    return main;
}
