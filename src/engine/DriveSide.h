#pragma once

#include "engine/DiscContents.h"
#include "engine/MediumDetails.h"
#include "engine/ReadBack.h"
#include "engine/StickInfo.h"

#include "engine/drives/DriveLayer.h"
#include "engine/drives/DriveRegistry.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QThread;
class QTimer;
class TDVDWriterPro2;

// The libburn half of one engine instance: its current drive, the burn or erase it runs and the
// read-back after a burn. It lives on the thread that runs the drive calls (a window's drive thread
// adopts it; elsewhere the thread that made the engine), and every entry point refuses to run on any
// other: a drive call from the wrong thread is a programming error that must not pass silently.
// Events are the engine's signals, emitted on this object's thread.
// Selection, media, sticks and contents: DriveSide.cpp; the burn and erase job: DriveSideJob.cpp.
class DriveSide final : public QObject
{
    Q_OBJECT
public:
    explicit DriveSide(TDVDWriterPro2 &engine);
    ~DriveSide() override;

    bool InitializeDrives();
    int DriveCount() const;
    QString DriveLetter(int index) const;
    QString DriveVendor(int index) const;
    QString DriveProduct(int index) const;
    bool IsWriter(int index) const;
    bool SelectDrive(int index);
    int DiscType();
    MediumDetails CurrentMedium();
    bool HasCapability(int code);
    int MaxWriteSpeed();
    void SetWriteSpeed(int multiple);
    int64_t FreeBlocks();
    std::optional<DiscContents> DataOnDisc();
    std::optional<StickInfo> StickDetails(int index) const;
    int CurrentDrive() const;
    bool ConfirmStickWrite(int index);
    bool RefreshSticks();
    bool StickLeftPartlyWritten(int index) const;

    bool BurnImageFile(const QString &isoPath);
    QString LastBurnRefusal() const;
    QString LastVerifyError() const;
    ReadBack LastReadBack() const;
    void CancelWrite();
    void EjectTray();
    bool EraseDisc(bool quick);

private:
    struct Job
    {
        enum class Kind { Burn, Erase, VirtualErase, FailedStart };
        Kind kind = Kind::Burn;
        int drive = -1;
        int generation = 0;
        int64_t totalBlocks = 0;
        int64_t blocksWritten = 0;
        int64_t imageBytes = 0;
        QString imagePath;
        bool simulate = false;
        bool cancelRequested = false;
        bool started = false; // OnEraseDiscStart sent
        qint64 erased = 0; // the erase's progress, in the drive library's steps: it only ever goes up
        std::vector<Drives::LibraryMessage> messages;
    };

    // Dies, naming `call`, when not on this object's thread.
    void requireOwnThread(const char *call) const;
    // The drive the instance acts on: the one selected last, or the first writer when none was.
    int currentIndex() const;
    Drives::DriveRegistry::Entry *current() const;
    void pollJob();
    void finishJob();
    // AutoVerify: reads the burn back on a thread of its own, then reports and completes the burn.
    void startVerify(int drive, int generation, const QString &imagePath, int64_t trackStartSector);

    TDVDWriterPro2 &m_engine; // its properties and its signals
    int m_selected = -1;
    bool m_selectionMade = false; // after a failed SelectDrive nothing is current, not the default
    int m_selectionGeneration = -1;
    int m_speedMultiple = 0; // 0: the highest speed
    std::unique_ptr<Job> m_job;
    QTimer *m_poll; // child: polls the running job on this object's thread
    QThread *m_verifier = nullptr; // child: the read-back of the last burn, while AutoVerify runs it
    std::atomic<bool> m_stopVerifying {false};
    QTimer *m_verifyPoll; // child: reports the read-back's progress while it runs
    ReadBack m_lastReadBack; // what the last read-back found
    QString m_lastRefusal; // why the last BurnImageFile returned false
};
