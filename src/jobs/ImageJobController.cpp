#include "jobs/ImageJobController.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "base/StdErr.h"
#include "core/SleepInhibitor.h"
#include "engine/DriveThread.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnController.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveLists.h"
#include "jobs/JobEndNotice.h"
#include "jobs/TFrmConvertProcess.h"
#include "jobs/TNewThread.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QWidget>

ImageJobController::ImageJobController(TDVDWriterPro2 *DVDWriterPro, TDVDWriterPro2 *DVDWriterPro21,
                                       DriveThread *drives, TFrmConvertProcess *progressWindow,
                                       CdToIsoPage &cdPage, BurnIsoPage &burnPage, DriveLists &driveLists,
                                       BurnController &burn, LabelSource imageLabel, QObject *parent)
    : QObject(parent)
    , m_discEngine(DVDWriterPro)
    , m_compilationEngine(DVDWriterPro21)
    , m_drives(drives)
    , m_progressWindow(progressWindow)
    , m_cdPage(cdPage)
    , m_burnPage(burnPage)
    , m_driveLists(driveLists)
    , m_burn(burn)
    , m_imageLabel(std::move(imageLabel))
{
    TFrmConvertProcess *window = m_progressWindow;
    connect(window, &TFrmConvertProcess::FormShown, this, &ImageJobController::FormShow);
    connect(window, &TFrmConvertProcess::CancelPressed, this, &ImageJobController::cancelJob);
    for (TDVDWriterPro2 *engine : {m_discEngine, m_compilationEngine}) {
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
    if (m_cdPage.CboCdList->currentText().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the CD/DVD driver to get the ISO file."), 1);
        return;
    }
    if (m_cdPage.EdtSavePath->text().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the path to save ISO file."), 1);
        return;
    }
    QCoreApplication::processEvents();
    finishPrevious();
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::DiscToImage;
    params.engine = m_discEngine;
    // The copy is named like a compilation: by the FILETOISO tree's label, or, before that page was
    // ever entered, by the label its root starts with.
    params.label = (m_imageLabel ? m_imageLabel() : std::nullopt).value_or(QStringLiteral("New Disc"));
    params.isoPath = m_cdPage.EdtSavePath->text();
    params.sourceDrive = m_cdPage.CboCdList->currentText().left(2);
    m_shown = params;
    ShowJobProgress(ImageJobParams::Kind::DiscToImage);
}

void ImageJobController::SbtnSelSavepathClick()
{
    QString path;
    AskSaveFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    m_cdPage.EdtSavePath->setText(path);
}

void ImageJobController::ActFILETOISOExecExecute()
{
    QString path;
    AskSaveFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    if (path.isEmpty())
        return;
    finishPrevious();
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::FilesToImage;
    params.engine = m_compilationEngine;
    params.isoPath = path;
    // Before the tree has a root there is no label to take: the instance keeps its own.
    params.label = m_imageLabel ? m_imageLabel() : std::nullopt;
    m_shown = params;
    ShowJobProgress(ImageJobParams::Kind::FilesToImage);
}

void ImageJobController::ShowJobProgress(ImageJobParams::Kind kind)
{
    TFrmConvertProcess *window = m_progressWindow;
    window->playAnimation(Globals().ExeFolder +
                          (kind == ImageJobParams::Kind::DiscToImage ? QStringLiteral("fla/cdtoiso.gif")
                                                                     : QStringLiteral("fla/filetoiso.gif")));
    window->exec();
}

void ImageJobController::FormShow()
{
    if (m_shown)
        StartImageJob(*m_shown);
}

void ImageJobController::StartImageJob(const ImageJobParams &params)
{
    // What the image side reads is set here, before the worker starts; what the drive side reads is
    // set on the drive thread around the disc type. The worker starts once the drive has answered;
    // one that does not answer leaves those drive properties as they were: the image needs no drive.
    TDVDWriterPro2 *engine = params.engine;
    engine->setVolumeType(1);
    m_cdPage.window()->setCursor(Qt::WaitCursor);
    const int start = ++m_startsAsked;
    m_drives->ask(
        this,
        [engine] {
            engine->setAutoVerify(false);
            const int type = engine->DiscType();
            if (type == EngineCodes::CdR || type == EngineCodes::CdRw)
                engine->setDVDHighCompatibilityMode(false);
            else
                engine->setWriteType(1);
            return type;
        },
        [this, params, start](std::optional<int>) {
            m_cdPage.window()->unsetCursor();
            if (start == m_startsAsked)
                startWorker(params);
        });
}

void ImageJobController::startWorker(const ImageJobParams &params)
{
    auto *job = new TNewThread(params, this);
    m_current = job;
    m_awake = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::ImageWrite);
    connect(
        job, &TNewThread::JobSucceeded, this, [this, job] { jobEnd(job, QString()); }, Qt::QueuedConnection);
    connect(
        job, &TNewThread::JobFailed, this, [this, job](const QString &reason) { jobEnd(job, reason); },
        Qt::QueuedConnection);
    connect(job, &QThread::finished, job, &QObject::deleteLater);
    job->start();
}

void ImageJobController::jobEnd(TNewThread *job, const QString &failure)
{
    const bool Succeeded = failure.isNull();
    // A cancelled job never reaches its end, even when its result was already on its way.
    if (job != m_current || job->isCancelled())
        return;
    job->wait();
    // The finished thread deletes itself at the next turn of an event loop, and the boxes below
    // run one: keep what is needed of the job.
    const ImageJobParams params = job->params();
    job = nullptr;
    m_current.clear();
    m_awake.reset();
    // Asked before the progress window closes: while it is up, it is the window the user looks at.
    const QString successText = QStringLiteral("ISO File Created successfully!");
    const QString failureText = QStringLiteral("Error creating ISO File.");
    notifyIfInactive(m_cdPage.window(), Succeeded ? successText : failureText);
    m_progressWindow->accept();
    if (Succeeded) {
        ShowMessageBox(successText, 1);
        if (ShowMessageBox(QStringLiteral("Do you want to burn the ISO file now?"), 2) == IDYES) {
            m_burnPage.EdtBurnISOPath->setText(params.isoPath);
            // The burn starts once the drives have answered the page's entry. Until then the job
            // controls are locked, so that nothing starts beside it; the burn locks them itself and
            // unlocks them when it ends (unlocking after its start would let Make ISO and Burn ISO
            // run beside it).
            m_burn.SetJobControlsEnabled(false);
            QPointer<BurnController> burn = &m_burn;
            const int cancels = burn->cancelCount();
            m_driveLists.EnterBurnIsoPage([burn, cancels](bool answered) {
                // Cancel pressed meanwhile has unlocked the controls and drops the burn.
                if (!burn || burn->cancelCount() != cancels)
                    return;
                burn->SetJobControlsEnabled(true);
                if (answered)
                    burn->ActBURNISOExecExecute();
            });
            Q_EMIT burnPageWanted();
            return;
        }
    } else {
        // The message stays as it is; the engine's reason goes into its details and onto stderr.
        StdErr::line(QStringLiteral("kestrane: ") + failureText + QLatin1Char(' ') + failure);
        ShowMessageBox(failureText, 1, failure);
    }
    m_burn.SetJobControlsEnabled(true);
}

void ImageJobController::cancelJob()
{
    ++m_startsAsked; // a start still waiting for the drive's answer is dropped
    if (TNewThread *job = m_current) {
        job->cancel();
        m_previous = job;
        m_current.clear();
        // The write stops within moments, and the machine stays awake until it has: the lock ends
        // with the worker, which deletes itself once it has finished.
        if (m_awake)
            m_awake.release()->setParent(job);
    }
    m_progressWindow->accept();
}

void ImageJobController::finishPrevious()
{
    // The engine stops a cancelled write within moments; the next job waits for that before it starts.
    if (TNewThread *previous = m_previous) {
        previous->wait();
        m_previous.clear();
    }
}
