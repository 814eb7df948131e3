#include "ImageJobController.h"

#include "BurnController.h"
#include "DriveLists.h"
#include "EngineCodes.h"
#include "FileDialogs.h"
#include "GlobalSettings.h"
#include "MessageBox.h"
#include "TDVDWriterPro2.h"
#include "TFrmConvertProcess.h"
#include "TNewThread.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QWidget>

#include <cstdio>

ImageJobController::ImageJobController(const ImageJobContext &context, QObject *parent)
    : QObject(parent)
    , m_context(context)
{
    TFrmConvertProcess *window = m_context.progressWindow;
    connect(window, &TFrmConvertProcess::FormShown, this, &ImageJobController::FormShow);
    connect(window, &TFrmConvertProcess::CancelPressed, this, &ImageJobController::cancelJob);
    for (TDVDWriterPro2 *engine : {m_context.DVDWriterPro, m_context.DVDWriterPro21}) {
        connect(engine, &TDVDWriterPro2::OnImageWriteProgress, window, &TFrmConvertProcess::showWriteProgress,
                Qt::QueuedConnection);
    }
}

ImageJobController::~ImageJobController()
{
    // A job never outlives the window that owns it.
    for (TNewThread *job : {m_current.data(), m_previous.data()}) {
        if (job) {
            job->cancel();
            job->wait();
        }
    }
}

void ImageJobController::ActCDTOISOExecExecute()
{
    if (m_context.CboCdList->currentText().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the CD/DVD driver to get the ISO file."), 1);
        return;
    }
    if (m_context.EdtSavePath->text().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the path to save ISO file."), 1);
        return;
    }
    QCoreApplication::processEvents();
    finishPrevious();
    m_context.DVDWriterPro->ResetImage();
    m_context.progressWindow->IsoPath = m_context.EdtSavePath->text();
    m_context.progressWindow->SourceDrive = m_context.CboCdList->currentText().left(2);
    ShowJobProgress(1);
}

void ImageJobController::SbtnSelSavepathClick()
{
    QString path;
    AskSaveFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    m_context.EdtSavePath->setText(path);
}

void ImageJobController::ActFILETOISOExecExecute()
{
    QString path;
    AskSaveFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    if (path.isEmpty())
        return;
    finishPrevious();
    m_context.progressWindow->IsoPath = path;
    m_context.progressWindow->SourceDrive.clear();
    ShowJobProgress(2);
}

void ImageJobController::ShowJobProgress(int kind)
{
    TFrmConvertProcess *window = m_context.progressWindow;
    window->playAnimation(
        Globals().ExeFolder +
        (kind == 1 ? QStringLiteral("fla/cdtoiso.gif") : QStringLiteral("fla/filetoiso.gif")));
    window->JobKind = kind;
    window->exec();
}

void ImageJobController::FormShow()
{
    const TFrmConvertProcess *window = m_context.progressWindow;
    if (window->JobKind == 2)
        StartImageJob(m_context.DVDWriterPro21, window->IsoPath, QString());
    else
        StartImageJob(m_context.DVDWriterPro, window->IsoPath, window->SourceDrive);
}

void ImageJobController::StartImageJob(TDVDWriterPro2 *engine, const QString &isoPath,
                                       const QString &sourceDrive)
{
    engine->setAutoVerify(false);
    engine->setVolumeType(1);
    // Before the tree has a root there is no label to take: the instance keeps its own.
    if (const auto label = m_context.imageLabel ? m_context.imageLabel() : std::nullopt)
        engine->setVolumeIdentifier(*label);
    const int type = engine->DiscType();
    if (type == EngineCodes::CdR || type == EngineCodes::CdRw)
        engine->setDVDHighCompatibilityMode(false);
    else
        engine->setWriteType(1);
    m_context.mainWindow->setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();

    auto *job = new TNewThread(engine, isoPath, sourceDrive, this);
    m_current = job;
    connect(
        job, &TNewThread::Finished, this, [this, job](bool succeeded) { jobEnd(job, succeeded); },
        Qt::QueuedConnection);
    connect(job, &QThread::finished, job, &QObject::deleteLater);
    job->start();
    m_context.mainWindow->unsetCursor();
}

void ImageJobController::jobEnd(TNewThread *job, bool Succeeded)
{
    // A cancelled job never reaches its end, even when its result was already on its way.
    if (job != m_current || job->isCancelled())
        return;
    job->wait();
    m_current.clear();
    m_context.progressWindow->accept();
    if (Succeeded) {
        ShowMessageBox(QStringLiteral("ISO File Created successfully!"), 1);
        if (ShowMessageBox(QStringLiteral("Do you want to burn the ISO file now?"), 2) == IDYES) {
            m_context.EdtBurnISOPath->setText(m_context.progressWindow->IsoPath);
            m_context.driveLists->EnterBurnIsoPage();
            if (m_context.showBurnPage)
                m_context.showBurnPage();
            // The burn locks the job controls itself and unlocks them when it ends; unlocking
            // here would let Make ISO and Burn ISO run beside it.
            m_context.burn->ActBURNISOExecExecute();
            return;
        }
    } else {
        // The message stays as it is; the engine's reason goes into its details and onto stderr.
        const QString text = QStringLiteral("Error creating ISO File.");
        const QString reason = job->failureReason();
        std::fprintf(stderr, "kestrane: %s %s\n", qPrintable(text), qPrintable(reason));
        ShowMessageBox(text, 1, reason);
    }
    m_context.burn->SetJobControlsEnabled(true);
}

void ImageJobController::cancelJob()
{
    if (TNewThread *job = m_current) {
        job->cancel();
        m_previous = job;
        m_current.clear();
    }
    m_context.progressWindow->accept();
}

void ImageJobController::finishPrevious()
{
    // The engine stops a cancelled write within moments; the next job waits for that before it starts.
    if (TNewThread *previous = m_previous) {
        previous->wait();
        m_previous.clear();
    }
}
