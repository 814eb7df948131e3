#pragma once

#include "engine/drives/DriveLayer.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace Drives {

// The drives of the process, shared by every engine instance: the list made by the last scan, each
// drive's library object and whether a job runs on it. Used from one thread at a time: the thread
// that makes the engines' drive-side calls.
class DriveRegistry final
{
public:
    struct Entry
    {
        DriveDescription description;
        bool isVirtual = false;
        QString virtualPath;
        int64_t virtualSize = 0;
        std::unique_ptr<Drive> drive;
        bool busy = false;
        MediumInfo lastMedium; // what the drive held when it was last asked
    };

    static DriveRegistry &instance();
    ~DriveRegistry();

    // Takes effect at the next initialize(); the drives of the old layer are released.
    void setLayer(std::unique_ptr<DriveLayer> layer);
    // Starts the library, scans the real drives, adds the virtual ones and binds their letters.
    // False only when the library cannot start.
    bool initialize();
    int count() const { return int(m_entries.size()); }
    Entry *entry(int index);
    // The first writer, or -1.
    int defaultWriter() const;
    // Changes whenever the list is rebuilt, so that an old selection is not taken for a new drive.
    int generation() const { return m_generation; }
    bool anyBusy() const;
    // Lists the USB sticks and SD cards again from what UDisks2 last announced, the other drives and
    // their letters kept; false while a job runs (the list stays as it is).
    bool refreshSticks();
    // Opens the drive of an entry; messages the library gave are handed on as usual.
    bool acquire(Entry &entry);
    // Refreshes what the drive holds; false when the drive cannot be opened. A busy drive keeps what
    // was learnt before its job: it is not asked while it works.
    bool refreshMedium(Entry &entry);

    // Moves the library's queued messages to the running jobs' lists, or to stderr when none runs.
    void pumpMessages();
    void addCollector(std::vector<LibraryMessage> *messages);
    void removeCollector(std::vector<LibraryMessage> *messages);

    // Releases every drive; called before libburn is shut down at exit.
    void shutdown();

private:
    DriveRegistry() = default;
    void releaseAll();

    std::unique_ptr<DriveLayer> m_layer;
    bool m_started = false;
    std::vector<std::unique_ptr<Entry>> m_entries;
    std::vector<std::vector<LibraryMessage> *> m_collectors;
    int m_generation = 0;
};

// The one registry of the process.
inline DriveRegistry &registry()
{
    return DriveRegistry::instance();
}

// Bytes in a data block of a disc.
constexpr int64_t BlockBytes = 2048;

} // namespace Drives
