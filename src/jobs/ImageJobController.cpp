#include "jobs/ImageJobController.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "engine/DriveThread.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnController.h"
#include "jobs/DriveLists.h"
#include "jobs/TFrmConvertProcess.h"
#include "jobs/TNewThread.h"

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
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::DiscToImage;
    params.engine = m_context.DVDWriterPro;
    // The copy is named like a compilation: by the FILETOISO tree's label, or, before that page was
    // ever entered, by the label its root starts with.
    params.label =
        (m_context.imageLabel ? m_context.imageLabel() : std::nullopt).value_or(QStringLiteral("New Disc"));
    params.isoPath = m_context.EdtSavePath->text();
    params.sourceDrive = m_context.CboCdList->currentText().left(2);
    m_shown = params;
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
    ImageJobParams params;
    params.kind = ImageJobParams::Kind::FilesToImage;
    params.engine = m_context.DVDWriterPro21;
    params.isoPath = path;
    // Before the tree has a root there is no label to take: the instance keeps its own.
    params.label = m_context.imageLabel ? m_context.imageLabel() : std::nullopt;
    m_shown = params;
    ShowJobProgress(2);
}

void ImageJobController::ShowJobProgress(int kind)
{
    TFrmConvertProcess *window = m_context.progressWindow;
    window->playAnimation(
        Globals().ExeFolder +
        (kind == 1 ? QStringLiteral("fla/cdtoiso.gif") : QStringLiteral("fla/filetoiso.gif")));
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
    if (params.label)
        engine->setVolumeIdentifier(*params.label);
    m_context.mainWindow->setCursor(Qt::WaitCursor);
    const int start = ++m_startsAsked;
    m_context.drives->ask(
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
            m_context.mainWindow->unsetCursor();
            if (start == m_startsAsked)
                startWorker(params);
        });
}

void ImageJobController::startWorker(const ImageJobParams &params)
{
    auto *job = new TNewThread(params, this);
    m_current = job;
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
    m_context.progressWindow->accept();
    if (Succeeded) {
        ShowMessageBox(QStringLiteral("ISO File Created successfully!"), 1);
        if (ShowMessageBox(QStringLiteral("Do you want to burn the ISO file now?"), 2) == IDYES) {
            m_context.EdtBurnISOPath->setText(params.isoPath);
            // The burn starts once the drives have answered the page's entry. Until then the job
            // controls are locked, so that nothing starts beside it; the burn locks them itself and
            // unlocks them when it ends (unlocking after its start would let Make ISO and Burn ISO
            // run beside it).
            m_context.burn->SetJobControlsEnabled(false);
            QPointer<BurnController> burn = m_context.burn;
            const int cancels = burn->cancelCount();
            m_context.driveLists->EnterBurnIsoPage([burn, cancels](bool answered) {
                // Cancel pressed meanwhile has unlocked the controls and drops the burn.
                if (!burn || burn->cancelCount() != cancels)
                    return;
                burn->SetJobControlsEnabled(true);
                if (answered)
                    burn->ActBURNISOExecExecute();
            });
            if (m_context.showBurnPage)
                m_context.showBurnPage();
            return;
        }
    } else {
        // The message stays as it is; the engine's reason goes into its details and onto stderr.
        const QString text = QStringLiteral("Error creating ISO File.");
        std::fprintf(stderr, "kestrane: %s %s\n", qPrintable(text), qPrintable(failure));
        ShowMessageBox(text, 1, failure);
    }
    m_context.burn->SetJobControlsEnabled(true);
}

void ImageJobController::cancelJob()
{
    ++m_startsAsked; // a start still waiting for the drive's answer is dropped
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
