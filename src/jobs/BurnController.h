#pragma once

#include "core/BurnProgress.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>

#include <memory>

struct StickTarget;
class BurnIsoPage;
class CdToIsoPage;
class DriveThread;
class QAction;
class SleepInhibitor;
class TDVDWriterPro2;

// Burning an image file: the checks, the start, the progress and end events, cancel and the job lock.
// The engine is asked on the drive thread; the start goes on as its answers come.
class BurnController final : public QObject
{
    Q_OBJECT
public:
    // Reads and moves the burn page's controls; a burn locks them, the CD page's browse button and
    // the actions. Actions carry their category in the dynamic property "Category"; "sys" ones are never
    // locked.
    BurnController(TDVDWriterPro2 *DVDWriterPro, TDVDWriterPro2 *DVDWriterPro1, DriveThread *drives,
                   BurnIsoPage &page, CdToIsoPage &cdPage, QList<QAction *> actions,
                   QObject *parent = nullptr);
    ~BurnController() override;

    void SpeedButton2Click();
    void ActBURNISOExecExecute();
    void StartBurn(const QString &path);
    void ActCancelBURNISOExecExecute();
    void SetJobControlsEnabled(bool enabled);
    // Counts the cancel actions: a start still waiting for the drive when it changes is dropped.
    int cancelCount() const { return m_cancels; }

    static qint64 ImageFileSize(const QString &path);
    static QString FreeSpaceMessage(qint64 freeBytes, qint64 imageBytes);

private:
    struct Medium;
    // StartBurn's checks of the medium's answer.
    void CheckMedium(const QString &path, const Medium &medium, int cancels);
    // Every check has passed: the burn starts, after the question when it would overwrite a stick or
    // a disc that holds data. A question to the user before the start belongs here.
    void BeginBurn(const QString &path, const Medium &medium, int cancels);
    // The start has ended, however: the normal cursor again.
    void EndStart();
    void DriveNotAnswering();
    // The burn has ended, however: the machine may sleep again; the user, when elsewhere, is told.
    void EndBurn(const QString &text);

    void DVDWriterProTrackWriteStatus(int lTrackNumber, qint64 lBlocksWritten, qint64 lBlocksToWrite);
    void DVDWriterProWriteComplete();
    void DVDWriterProWriteCancelled();
    void DVDWriterProWriteError(int WriteError, int DriveError, const QString &sErrorInfo,
                                const QString &sSenseInfo);
    void DVDWriterPro1FileVerifyComplete(int lFilesCompared, int lFilesMatched);
    // A burn's, its read-back's or an erase's progress in words on the page.
    void ShowProgress(int stage, qint64 bytesDone, qint64 bytesTotal);
    void ClearProgress();
    // A burn read back has ended: the verdict's box, then the page is idle again.
    void EndReadBack();

    TDVDWriterPro2 *m_engine;
    TDVDWriterPro2 *m_eraseEngine;
    DriveThread *m_drives;
    BurnIsoPage &m_page;
    CdToIsoPage &m_cdPage;
    QList<QAction *> m_actions;
    int m_cancels = 0;
    bool m_readBack = false; // the running burn is read back after it is written
    qint64 m_oneTimes = 0; // the running burn's medium's 1x, in bytes per second
    int m_stage = -1; // the stage shown; the speed is measured anew in each
    QElapsedTimer m_clock;
    BurnSpeedMeter m_meter;
    // Held from the burn's start to its end.
    std::unique_ptr<SleepInhibitor> m_awake;
};
