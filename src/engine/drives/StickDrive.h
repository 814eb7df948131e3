#pragma once

#include "engine/drives/DriveLayer.h"
#include "engine/drives/UdisksModel.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace Drives {

namespace Udisks {
class UdisksCalls;
}

// A USB stick or SD card as a recorder. Writing runs on a thread of its own: the file systems are
// unmounted and the device opened through UDisks2 (no part of Kestrane runs as root), then the image
// is copied, the stick's old backup GPT cleared, and everything read back and compared.
class StickDrive final : public Drive
{
public:
    StickDrive(Udisks::Stick stick, std::shared_ptr<Udisks::UdisksCalls> calls);
    ~StickDrive() override;

    // Nothing is held between jobs: UDisks2 opens the device for each write.
    bool acquire() override { return true; }
    bool isAcquired() const override { return true; }
    void release(bool) override { }
    MediumInfo medium() override;
    // Refused unless confirmWrite() was called since the last write: a stick is overwritten whole.
    bool startWrite(const WriteRequest &request) override;
    bool startErase(bool quick) override;
    Progress progress() override;
    JobOutcome outcome() override;
    void cancel() override { m_stop = true; }

    const Udisks::Stick &stick() const { return m_stick; }
    // The user (or a script's --yes) agreed that the next write may destroy what the stick holds.
    void confirmWrite() { m_confirmed = true; }
    // Whether the last write to this stick's device ended, failed or cancelled, after it had begun to
    // change the stick. Kept by device, not by drive object: a Rescan lists the stick afresh.
    bool leftPartlyWritten() const;

private:
    void run(WriteRequest request);
    // Each step answers an error text, empty when it went well.
    QString unmountAll();
    QString openDevice(int &fd);
    QString copy(int fd, const WriteRequest &request, QByteArray &hash);
    QString clearBackupGpt(int fd, int64_t imageBytes);
    QString readBack(int fd, int64_t imageBytes, const QByteArray &hash);
    void fail(const QString &text, int osErrno = 0);

    Udisks::Stick m_stick;
    std::shared_ptr<Udisks::UdisksCalls> m_calls;
    std::thread m_worker;
    std::atomic<bool> m_running {false};
    std::atomic<bool> m_stop {false};
    std::atomic<int64_t> m_bytesDone {0}; // copied, then image length + read back
    bool m_confirmed = false;
    std::atomic<bool> m_partlyWritten {false};
    JobOutcome m_outcome; // written by the worker, read after it has been joined
};

// The stick drives' messages, queued from their threads, drained with the drive library's.
std::vector<LibraryMessage> takeStickMessages();

// Whether the file at `path` lies on one of the stick's file systems.
bool stickHoldsFile(const Udisks::Stick &stick, const QString &path);

} // namespace Drives
