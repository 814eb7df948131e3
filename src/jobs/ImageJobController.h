#pragma once

#include <QObject>
#include <QPointer>

#include "jobs/TNewThread.h"

#include <functional>
#include <memory>
#include <optional>

class BurnController;
class BurnIsoPage;
class CdToIsoPage;
class DriveLists;
class DriveThread;
class SleepInhibitor;
class TDVDWriterPro2;
class TFrmConvertProcess;
class TNewThread;

// Writing an image file on a worker thread behind the progress window, and the burn offered after it.
class ImageJobController final : public QObject
{
    Q_OBJECT
public:
    // The volume label of the compilation; none before its tree has a root.
    using LabelSource = std::function<std::optional<QString>()>;

    // `DVDWriterPro` copies discs, `DVDWriterPro21` writes the compilation; `drives` asks the engine's
    // drive side (the disc type before a job). The job reads the CD page's reader and path, and puts
    // a written image into the burn page's path.
    ImageJobController(TDVDWriterPro2 *DVDWriterPro, TDVDWriterPro2 *DVDWriterPro21, DriveThread *drives,
                       TFrmConvertProcess *progressWindow, CdToIsoPage &cdPage, BurnIsoPage &burnPage,
                       DriveLists &driveLists, BurnController &burn, LabelSource imageLabel,
                       QObject *parent = nullptr);
    ~ImageJobController() override;

    void ActCDTOISOExecExecute();
    void SbtnSelSavepathClick();
    void ActFILETOISOExecExecute();
    void ShowJobProgress(ImageJobParams::Kind kind);
    void StartImageJob(const ImageJobParams &params);

    TNewThread *currentImageJob() const { return m_current; }

Q_SIGNALS:
    // The user wants the image just written burnt: the burn page is to become the current one (its
    // entry work is done by the job itself).
    void burnPageWanted();

private:
    void FormShow();
    // `failure` is null after a success, else the engine's reason.
    void jobEnd(TNewThread *job, const QString &failure);
    void cancelJob();
    void finishPrevious();
    // The worker of a job whose engine is set up.
    void startWorker(const ImageJobParams &params);

    TDVDWriterPro2 *m_discEngine;
    TDVDWriterPro2 *m_compilationEngine;
    DriveThread *m_drives;
    TFrmConvertProcess *m_progressWindow;
    CdToIsoPage &m_cdPage;
    BurnIsoPage &m_burnPage;
    DriveLists &m_driveLists;
    BurnController &m_burn;
    LabelSource m_imageLabel;
    std::optional<ImageJobParams> m_shown; // the job the progress window is showing
    QPointer<TNewThread> m_current;
    QPointer<TNewThread> m_previous;
    // Counts the jobs asked to start, so that a cancel before the drive's answer drops that start.
    int m_startsAsked = 0;
    // Held while the current job writes; a cancelled job's goes with the job's worker.
    std::unique_ptr<SleepInhibitor> m_awake;
};
