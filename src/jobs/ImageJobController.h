#pragma once

#include <QObject>
#include <QPointer>

#include "jobs/TNewThread.h"

#include <functional>
#include <optional>

class BurnController;
class DriveLists;
class DriveThread;
class QComboBox;
class QLineEdit;
class QWidget;
class TDVDWriterPro2;
class TFrmConvertProcess;
class TNewThread;

// What an image job reads from and reports to the main window.
struct ImageJobContext
{
    QWidget *mainWindow = nullptr;
    TDVDWriterPro2 *DVDWriterPro = nullptr;
    TDVDWriterPro2 *DVDWriterPro21 = nullptr;
    // Asks the engine's drive side (the disc type before a job).
    DriveThread *drives = nullptr;
    TFrmConvertProcess *progressWindow = nullptr;
    QComboBox *CboCdList = nullptr;
    QLineEdit *EdtSavePath = nullptr;
    QLineEdit *EdtBurnISOPath = nullptr;
    DriveLists *driveLists = nullptr;
    BurnController *burn = nullptr;
    // The volume label of the compilation; none before the tree has a root.
    std::function<std::optional<QString>()> imageLabel;
    // Makes the BURNISO page the current one (its entry work is done by the job itself).
    std::function<void()> showBurnPage;
};

// Writing an image file on a worker thread behind the progress window, and the burn offered after it.
class ImageJobController final : public QObject
{
    Q_OBJECT
public:
    explicit ImageJobController(const ImageJobContext &context, QObject *parent = nullptr);
    ~ImageJobController() override;

    void ActCDTOISOExecExecute();
    void SbtnSelSavepathClick();
    void ActFILETOISOExecExecute();
    void ShowJobProgress(int kind);
    void StartImageJob(const ImageJobParams &params);

    TNewThread *currentImageJob() const { return m_current; }

private:
    void FormShow();
    // `failure` is null after a success, else the engine's reason.
    void jobEnd(TNewThread *job, const QString &failure);
    void cancelJob();
    void finishPrevious();
    // The worker of a job whose engine is set up.
    void startWorker(const ImageJobParams &params);

    ImageJobContext m_context;
    std::optional<ImageJobParams> m_shown; // the job the progress window is showing
    QPointer<TNewThread> m_current;
    QPointer<TNewThread> m_previous;
    // Counts the jobs asked to start, so that a cancel before the drive's answer drops that start.
    int m_startsAsked = 0;
};
