#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <map>

struct Iso_Image;
struct iso_file_source;

// Watches libisofs while it reads a disc's file system. libisofs goes on over damage: it skips a
// folder it cannot read, follows a folder record that points back at a folder above it for ever, reads
// one folder extent again for every record that names it, and says so only in its message queue. The
// guard stops the reading when it is cancelled, when a folder's records lie where another folder's do
// (a loop, an extent shared by siblings, a folder pointing into its parent's records), or when the disc
// gives more entries than its size can hold; afterwards it names the first report of lost data. One
// guard watches one reading, on the thread that reads.
class ImportGuard final
{
public:
    // `discBytes`: the medium's size, which bounds how many entries a sound disc can hold; 0 when
    // unknown.
    explicit ImportGuard(const std::atomic<bool> &cancel, int64_t discBytes = 0);
    ~ImportGuard();
    ImportGuard(const ImportGuard &) = delete;
    ImportGuard &operator=(const ImportGuard &) = delete;

    // Before iso_image_import: the guard sees every item libisofs is about to add to `disc`.
    void attach(Iso_Image *disc);
    // Every block libisofs reads while the guard is attached; false refuses it.
    bool blockRead(uint32_t lba, const uint8_t *block);
    // After the import: takes libisofs's messages. Those about the disc at SORRY or above (a folder
    // left out, data replaced) make it damaged; warnings and worse go to the log, notes nowhere.
    void collectMessages();

    bool cancelled() const { return m_cancel.load(); }
    // The reading was stopped for a damage of the folders (a loop, shared records, too many entries).
    bool refused() const { return !m_refusal.isEmpty(); }
    // Why the disc cannot be taken as read; empty when nothing was lost.
    QString problem() const;

    // What a disc of `discBytes` can hold at most: every entry needs a record of 34 bytes or more.
    static int64_t entryLimit(int64_t discBytes);

private:
    static int reportItem(Iso_Image *image, iso_file_source *source);
    int item(iso_file_source *source);
    bool stopped() const { return cancelled() || refused(); }

    struct Folder
    {
        uint32_t end; // one past its last block
        QString path;
    };

    const std::atomic<bool> &m_cancel;
    int64_t m_entryLimit;
    int64_t m_entries = 0;
    Iso_Image *m_disc = nullptr;
    int m_msgId = 0;
    // Every folder read so far, by the first block of its records: a sound disc gives each folder
    // blocks of its own. Memory grows with the folders the disc really has, never with what a
    // loop or a shared extent would expand to.
    std::map<uint32_t, Folder> m_folders;
    // The folder whose first block is read next (its records' length in blocks), or none.
    bool m_pending = false;
    uint32_t m_pendingBlocks = 1;
    QString m_pendingPath;
    QString m_refusal;
    QString m_damage;
};
