#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

struct Iso_Image;
struct iso_file_source;

// Watches libisofs while it reads a disc's file system. libisofs goes on over damage: it skips a
// folder it cannot read, follows a folder record that points back at a folder above it for ever, and
// says so only in its message queue. The guard stops the reading when it is cancelled or when a
// folder leads back into itself, and afterwards names the first report of lost data. One guard
// watches one reading, on the thread that reads.
class ImportGuard final
{
public:
    explicit ImportGuard(const std::atomic<bool> &cancel);
    ~ImportGuard();
    ImportGuard(const ImportGuard &) = delete;
    ImportGuard &operator=(const ImportGuard &) = delete;

    // Before iso_image_import: the guard sees every item libisofs is about to add to `disc`.
    void attach(Iso_Image *disc);
    // Every block libisofs reads while the guard is attached; false refuses it.
    bool blockRead(uint32_t lba, const uint8_t *block);
    // After the import: takes libisofs's messages. Those about the disc at SORRY or above (a folder
    // left out, data replaced) make it damaged; the others go to the log.
    void collectMessages();

    bool cancelled() const { return m_cancel.load(); }
    bool loopFound() const { return !m_loop.isEmpty(); }
    // Why the disc cannot be taken as read; empty when nothing was lost.
    QString problem() const;

private:
    static int reportItem(Iso_Image *image, iso_file_source *source);
    int item(iso_file_source *source);

    const std::atomic<bool> &m_cancel;
    Iso_Image *m_disc = nullptr;
    int m_msgId = 0;
    // Extents of the folders from the root down to the one being read.
    std::vector<uint32_t> m_extents;
    // The folder whose first block is read next, and its depth (-1: none expected).
    int m_pendingDepth = -1;
    QString m_pendingPath;
    QString m_loop;
    QString m_damage;
};
