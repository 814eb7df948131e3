#include "jobs/BurnController.h"

#include "app/FileDialogs.h"
#include "app/MessageBox.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/StickBurn.h"
#include "jobs/WriteErrors.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>

#include <cmath>

BurnController::BurnController(TDVDWriterPro2 *DVDWriterPro, TDVDWriterPro2 *DVDWriterPro1,
                               const BurnPageControls &controls, QList<QAction *> actions, QObject *parent)
    : QObject(parent)
    , m_engine(DVDWriterPro)
    , m_eraseEngine(DVDWriterPro1)
    , m_controls(controls)
    , m_actions(std::move(actions))
{
    connect(m_engine, &TDVDWriterPro2::OnTrackWriteStatus, this,
            &BurnController::DVDWriterProTrackWriteStatus);
    connect(m_engine, &TDVDWriterPro2::OnWriteComplete, this, &BurnController::DVDWriterProWriteComplete);
    connect(m_engine, &TDVDWriterPro2::OnWriteCancelled, this, &BurnController::DVDWriterProWriteCancelled);
    connect(m_engine, &TDVDWriterPro2::OnWriteError, this, &BurnController::DVDWriterProWriteError);
    connect(m_eraseEngine, &TDVDWriterPro2::OnFileVerifyComplete, this,
            &BurnController::DVDWriterPro1FileVerifyComplete);
}

void BurnController::SpeedButton2Click()
{
    QString path;
    AskOpenFileName(QStringLiteral("ISO Files(*.iso)|*.iso"), QStringLiteral(".iso"), path);
    m_controls.EdtBurnISOPath->setText(path);
}

void BurnController::ActBURNISOExecExecute()
{
    if (m_controls.CboCDRWList->currentText().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the CD/DVD-R driver."), 1);
        return;
    }
    if (m_controls.EdtBurnISOPath->text().isEmpty()) {
        ShowMessageBox(QStringLiteral("Please choose the ISO file you want to burn."), 1);
        return;
    }
    SetJobControlsEnabled(false);
    StartBurn(m_controls.EdtBurnISOPath->text());
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
    try {
        if (m_engine->DiscType() == EngineCodes::NoWritableMedium) {
            ShowMessageBox(QStringLiteral("Please Insert Writable Media before continuing!"), 1);
            return;
        }
        const qint64 size = ImageFileSize(path);
        const auto freeBytes =
            static_cast<qint64>(std::trunc(TDVDWriterPro2::BlocksToBytes(m_engine->FreeBlocks(), 1)));
        if (freeBytes < size) {
            ShowMessageBox(FreeSpaceMessage(freeBytes, size), 1);
            return;
        }
        if (!ConfirmStickBurn(*m_engine)) {
            SetJobControlsEnabled(true); // the user said No: nothing started, nothing to cancel
            return;
        }
        m_engine->setAutoVerify(false);
        m_engine->setCloseSession(true);
        m_engine->SetBurnFlag(true);
        QCoreApplication::processEvents();
        if (!m_engine->BurnImageFile(path)) {
            // The engine has written its reason to standard error; the box keeps it in its details.
            ShowMessageBox(QStringLiteral("Error Writing ISO File."), 1, m_engine->LastBurnRefusal());
        }
        m_controls.CboCDRWList->window()->unsetCursor();
    } catch (...) { }
}

void BurnController::DVDWriterProTrackWriteStatus(int, qint64 lBlocksWritten, qint64 lBlocksToWrite)
{
    if (lBlocksToWrite == 0)
        return;
    m_controls.PsBarWriteDisk->setValue(
        static_cast<int>(double(lBlocksWritten) / double(lBlocksToWrite) * 100.0));
}

void BurnController::DVDWriterProWriteComplete()
{
    if (!m_engine->AutoVerify())
        ShowMessageBox(QStringLiteral("Writing is complete!"), 1);
    if (!m_engine->TestWrite() && !m_engine->AutoVerify())
        m_engine->EjectTray(0);
    m_controls.PsBarWriteDisk->setValue(0);
    SetJobControlsEnabled(true);
}

void BurnController::DVDWriterProWriteCancelled()
{
    m_controls.PsBarWriteDisk->setValue(0);
    ShowMessageBox(QStringLiteral("Writing Cancelled!"), 1);
    AdviseAfterStickCancel(*m_engine);
    SetJobControlsEnabled(true);
}

void BurnController::DVDWriterProWriteError(int WriteError, int DriveError, const QString &sErrorInfo,
                                            const QString &sSenseInfo)
{
    ShowMessageBox(ComposeWriteErrorText(WriteError, DriveError, sErrorInfo, sSenseInfo), 1);
}

void BurnController::DVDWriterPro1FileVerifyComplete(int, int)
{
    m_eraseEngine->EjectTray(0);
}

void BurnController::ActCancelBURNISOExecExecute()
{
    m_engine->CancelWrite();
    SetJobControlsEnabled(true);
}

void BurnController::SetJobControlsEnabled(bool enabled)
{
    for (QAction *action : std::as_const(m_actions)) {
        if (action->property("Category").toString() != QLatin1String("sys"))
            action->setEnabled(enabled);
    }
    for (QWidget *control :
         {static_cast<QWidget *>(m_controls.CboCDRWList), static_cast<QWidget *>(m_controls.EdtBurnISOPath),
          m_controls.SpeedButton2, m_controls.SbtnSelSavepath}) {
        if (control)
            control->setEnabled(enabled);
    }
}
