#include "jobs/BurnController.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "core/SleepInhibitor.h"
#include "core/WriteErrors.h"
#include "engine/DriveThread.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DiscQuestions.h"
#include "jobs/DriveAnswers.h"
#include "jobs/JobEndNotice.h"
#include "jobs/StickBurn.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QToolButton>

#include <cmath>

// What StartBurn learns of the medium before it checks: the free space only when there is a medium.
struct BurnController::Medium
{
    int discType = EngineCodes::NoWritableMedium;
    int64_t freeBlocks = 0;
    StickTarget target; // a stick is named in a question before it is written
    std::optional<DiscContents> data; // so is a disc whose data the burn would overwrite
    qint64 oneTimes = 0; // the medium's 1x, for the speed the page shows
};

namespace {

struct BurnStart
{
    bool started = false;
    QString refusal; // the engine's reason when not started
};

} // namespace

BurnController::BurnController(TDVDWriterPro2 *DVDWriterPro, TDVDWriterPro2 *DVDWriterPro1,
                               DriveThread *drives, BurnIsoPage &page, CdToIsoPage &cdPage,
                               QList<QAction *> actions, QObject *parent)
    : QObject(parent)
    , m_engine(DVDWriterPro)
    , m_eraseEngine(DVDWriterPro1)
    , m_drives(drives)
    , m_page(page)
    , m_cdPage(cdPage)
    , m_actions(std::move(actions))
{
    connect(m_engine, &TDVDWriterPro2::OnTrackWriteStatus, this,
            &BurnController::DVDWriterProTrackWriteStatus);
    connect(m_engine, &TDVDWriterPro2::OnWriteComplete, this, &BurnController::DVDWriterProWriteComplete);
    connect(m_engine, &TDVDWriterPro2::OnWriteCancelled, this, &BurnController::DVDWriterProWriteCancelled);
    connect(m_engine, &TDVDWriterPro2::OnWriteError, this, &BurnController::DVDWriterProWriteError);
    connect(m_eraseEngine, &TDVDWriterPro2::OnFileVerifyComplete, this,
            &BurnController::DVDWriterPro1FileVerifyComplete);
    connect(m_engine, &TDVDWriterPro2::OnBurnProgress, this, &BurnController::ShowProgress);
    // The erase window has no bar: its erase is told here, on the page behind it.
    connect(m_eraseEngine, &TDVDWriterPro2::OnBurnProgress, this, &BurnController::ShowProgress);
    connect(m_eraseEngine, &TDVDWriterPro2::OnEraseDiscComplete, this, &BurnController::ClearProgress);
    connect(m_eraseEngine, &TDVDWriterPro2::OnWriteError, this, &BurnController::ClearProgress);

    m_page.ChkVerifyAfterBurn->setChecked(Globals().VerifyAfterBurning);
    connect(m_page.ChkVerifyAfterBurn, &QCheckBox::toggled, this,
            [](bool checked) { Globals().VerifyAfterBurning = checked; });
}

BurnController::~BurnController() = default;

void BurnController::SpeedButton2Click()
{
    QString path;
    AskOpenFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    m_page.EdtBurnISOPath->setText(path);
}

void BurnController::ActBURNISOExecExecute()
{
    if (m_page.CboCDRWList->currentText().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the CD/DVD-R driver."), 1);
        return;
    }
    if (m_page.EdtBurnISOPath->text().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the ISO file you want to burn."), 1);
        return;
    }
    SetJobControlsEnabled(false);
    StartBurn(m_page.EdtBurnISOPath->text());
}

qint64 BurnController::ImageFileSize(const QString &path)
{
    const QFileInfo info(QFileInfo(path).absoluteFilePath());
    if (!info.exists())
        return -1;
    return info.isFile() ? info.size() : 0;
}

QString BurnController::FreeSpaceMessage(qint64 freeBytes, qint64 imageBytes)
{
    const QLocale locale;
    const auto megabytes = [&locale](qint64 bytes) {
        return locale.toString(bytes / 1048576.0, 'f', 2);
    };
    return QStringLiteral("Free Space on the loaded disc is ") + megabytes(freeBytes) +
        QStringLiteral(" MB!") + QLatin1Char('\r') + QStringLiteral("This data image requires ") +
        megabytes(imageBytes) + QStringLiteral(" MB of Free Space!");
}

void BurnController::StartBurn(const QString &path)
{
    // Whatever goes wrong in here ends the start quietly; the page stays locked until Cancel.
    m_page.CboCDRWList->window()->setCursor(Qt::BusyCursor);
    TDVDWriterPro2 *engine = m_engine;
    const int cancels = m_cancels;
    m_drives->ask(
        this,
        [engine] {
            Medium medium;
            medium.discType = engine->DiscType();
            if (medium.discType != EngineCodes::NoWritableMedium)
                medium.freeBlocks = engine->FreeBlocks();
            medium.target = StickTargetOf(*engine);
            if (medium.discType != EngineCodes::NoWritableMedium && !medium.target.stick) {
                medium.data = engine->DataOnDisc();
                medium.oneTimes = OneTimesSpeed(engine->CurrentMedium());
            }
            return medium;
        },
        [this, path, cancels](std::optional<Medium> medium) {
            if (!medium) {
                DriveNotAnswering();
                return;
            }
            try {
                CheckMedium(path, *medium, cancels);
            } catch (...) {
                EndStart();
            }
        });
}

void BurnController::CheckMedium(const QString &path, const Medium &medium, int cancels)
{
    if (cancels != m_cancels) {
        EndStart(); // cancelled while the drive was asked: nothing starts
        return;
    }
    if (medium.discType == EngineCodes::NoWritableMedium) {
        EndStart();
        ShowMessageBox(QStringLiteral("Please Insert Writable Media before continuing!"), 1);
        return;
    }
    const qint64 size = ImageFileSize(path);
    const auto freeBytes =
        static_cast<qint64>(std::trunc(TDVDWriterPro2::BlocksToBytes(medium.freeBlocks, 1)));
    if (freeBytes < size) {
        EndStart();
        ShowMessageBox(FreeSpaceMessage(freeBytes, size), 1);
        return;
    }
    BeginBurn(path, medium, cancels);
}

void BurnController::BeginBurn(const QString &path, const Medium &medium, int cancels)
{
    if (cancels != m_cancels) {
        EndStart();
        return;
    }
    const StickTarget &target = medium.target;
    if (!AskStickBurn(target) || !AskOverwriteDisc(medium.data)) {
        EndStart();
        SetJobControlsEnabled(true); // the user said No: nothing started, nothing to cancel
        return;
    }
    if (cancels != m_cancels) {
        EndStart(); // cancelled while the question was open
        return;
    }
    m_awake = std::make_unique<SleepInhibitor>(target.stick ? SleepInhibitor::Job::StickWrite
                                                            : SleepInhibitor::Job::Burn);
    // The box is locked with the job controls until the burn ends; a stick's write reads itself back
    // already.
    const bool verify = m_page.ChkVerifyAfterBurn->isChecked() && !target.stick;
    m_readBack = verify;
    m_oneTimes = medium.oneTimes;
    ShowProgress(EngineCodes::Preparing, 0, 0);
    TDVDWriterPro2 *engine = m_engine;
    m_drives->ask(
        this,
        [engine, path, target, verify] {
            // A stick the user did not confirm (or one listed afresh since) is refused by the engine.
            ConfirmStickBurn(*engine, target);
            // The job's properties are set right before the call that reads them, on the same thread.
            engine->setAutoVerify(verify);
            engine->setCloseSession(true);
            engine->SetBurnFlag(true);
            BurnStart start;
            start.started = engine->BurnImageFile(path);
            if (!start.started)
                start.refusal = engine->LastBurnRefusal();
            return start;
        },
        [this](std::optional<BurnStart> start) {
            if (!start) {
                DriveNotAnswering();
                return;
            }
            if (!start->started) {
                ClearProgress();
                const QString text = QStringLiteral("Error Writing ISO File.");
                EndBurn(text);
                // The engine has written its reason to standard error; the box keeps it in its details.
                ShowMessageBox(text, 1, start->refusal);
            }
            EndStart();
        });
}

void BurnController::EndStart()
{
    m_page.CboCDRWList->window()->unsetCursor();
}

void BurnController::DriveNotAnswering()
{
    EndStart();
    ClearProgress();
    // The user is told the burn did not start: nothing is held for it any more.
    m_awake.reset();
    ShowMessageBox(DriveNotAnsweringText(m_drives->answerBound()), 1);
}

void BurnController::EndBurn(const QString &text)
{
    m_awake.reset();
    notifyIfInactive(m_page.CboCDRWList->window(), text);
}

void BurnController::DVDWriterProTrackWriteStatus(int, qint64 lBlocksWritten, qint64 lBlocksToWrite)
{
    if (lBlocksToWrite == 0)
        return;
    m_page.PsBarWriteDisk->setValue(
        static_cast<int>(double(lBlocksWritten) / double(lBlocksToWrite) * 100.0));
}

void BurnController::DVDWriterProWriteComplete()
{
    ClearProgress();
    if (m_readBack) {
        m_readBack = false;
        EndReadBack();
        return;
    }
    // A burn read back ends above; this one asked for no read-back.
    const QString text = QStringLiteral("Writing is complete!");
    EndBurn(text);
    ShowMessageBox(text, 1);
    if (!m_engine->TestWrite()) {
        TDVDWriterPro2 *engine = m_engine;
        m_drives->post([engine] { engine->EjectTray(0); });
    }
    m_page.PsBarWriteDisk->setValue(0);
    SetJobControlsEnabled(true);
}

void BurnController::EndReadBack()
{
    // The read-back's verdict is the drive side's; it is asked there, as every drive-side call is.
    TDVDWriterPro2 *engine = m_engine;
    m_drives->ask(
        this,
        [engine] {
            const ReadBack readBack = engine->LastReadBack();
            if (!engine->TestWrite())
                engine->EjectTray(0);
            return readBack;
        },
        [this](std::optional<ReadBack> readBack) {
            if (!readBack) {
                DriveNotAnswering();
                SetJobControlsEnabled(true);
                return;
            }
            const ReadBackVerdict verdict = ReadBackVerdictOf(*readBack);
            // A disc that matches its image ends as any burn does; one that does not names where.
            const QString text = verdict.intact ? QStringLiteral("Writing is complete!") : verdict.text;
            EndBurn(text);
            ShowMessageBox(text, 1);
            m_page.PsBarWriteDisk->setValue(0);
            SetJobControlsEnabled(true);
        });
}

void BurnController::ShowProgress(int stage, qint64 bytesDone, qint64 bytesTotal)
{
    if (stage != m_stage || !m_clock.isValid()) {
        m_stage = stage;
        m_meter.restart();
        m_clock.start();
    }
    BurnProgress progress;
    progress.stage = static_cast<EngineCodes::BurnStage>(stage);
    progress.bytesDone = bytesDone;
    progress.bytesTotal = bytesTotal;
    progress.bytesPerSecond = m_meter.add(m_clock.elapsed(), bytesDone);
    progress.oneTimes = stage == EngineCodes::Erasing ? 0 : m_oneTimes;
    m_page.LblBurnStatus->setText(BurnProgressText(progress));
    // The bar follows the read-back too, rather than stand at 100 while the disc is read.
    if (stage == EngineCodes::Verifying && bytesTotal > 0)
        m_page.PsBarWriteDisk->setValue(BurnPercent(progress));
}

void BurnController::ClearProgress()
{
    m_page.LblBurnStatus->clear();
    m_stage = -1;
}

void BurnController::DVDWriterProWriteCancelled()
{
    ClearProgress();
    EndBurn(QStringLiteral("Writing Cancelled!"));
    m_page.PsBarWriteDisk->setValue(0);
    // Whether a stick was left partly written is the drive's to say; both boxes follow its answer.
    TDVDWriterPro2 *engine = m_engine;
    m_drives->ask(
        this, [engine] { return StickLeftPartlyWritten(*engine); },
        [this](std::optional<bool> partly) {
            ShowMessageBox(QStringLiteral("Writing Cancelled!"), 1);
            if (partly.value_or(false))
                AdviseAfterStickCancel();
            SetJobControlsEnabled(true);
        });
}

void BurnController::DVDWriterProWriteError(int WriteError, int DriveError, const QString &sErrorInfo,
                                            const QString &sSenseInfo)
{
    const QString text = ComposeWriteErrorText(WriteError, DriveError, sErrorInfo, sSenseInfo);
    ClearProgress();
    EndBurn(text);
    ShowMessageBox(text, 1);
}

void BurnController::DVDWriterPro1FileVerifyComplete(int, int)
{
    TDVDWriterPro2 *engine = m_eraseEngine;
    m_drives->post([engine] { engine->EjectTray(0); });
}

void BurnController::ActCancelBURNISOExecExecute()
{
    TDVDWriterPro2 *engine = m_engine;
    // A burn already started is stopped on the drive thread; one still being started is dropped.
    ++m_cancels;
    m_drives->post([engine] { engine->CancelWrite(); });
    SetJobControlsEnabled(true);
}

void BurnController::SetJobControlsEnabled(bool enabled)
{
    for (QAction *action : std::as_const(m_actions)) {
        if (action->property("Category").toString() != QLatin1String("sys"))
            action->setEnabled(enabled);
    }
    for (QWidget *control :
         {static_cast<QWidget *>(m_page.CboCDRWList), static_cast<QWidget *>(m_page.EdtBurnISOPath),
          static_cast<QWidget *>(m_page.SpeedButton2), static_cast<QWidget *>(m_cdPage.SbtnSelSavepath),
          static_cast<QWidget *>(m_page.ChkVerifyAfterBurn)}) {
        if (control)
            control->setEnabled(enabled);
    }
}
