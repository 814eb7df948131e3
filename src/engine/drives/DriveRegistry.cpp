#include "engine/drives/DriveRegistry.h"

#include "engine/Libraries.h"
#include "engine/drives/IsoMessages.h"
#include "engine/drives/LibburnDriveLayer.h"
#include "engine/drives/LibraryMessages.h"
#include "engine/drives/StickDrive.h"
#include "engine/drives/StickEntries.h"
#include "engine/drives/VirtualDrives.h"

#include <algorithm>

namespace Drives {

namespace {

constexpr char FirstLetter = 'D';
constexpr char LastLetter = 'Z';

} // namespace

DriveRegistry &DriveRegistry::instance()
{
    static DriveRegistry registry;
    static const bool hooked = [] {
        EngineLibraries::setBeforeBurnFinish([] { DriveRegistry::instance().shutdown(); });
        return true;
    }();
    (void)hooked;
    return registry;
}

DriveRegistry::~DriveRegistry()
{
    // Static objects may be destroyed before the exit hook runs: the hook must not find this one.
    EngineLibraries::setBeforeBurnFinish(nullptr);
    shutdown();
}

void DriveRegistry::setLayer(std::unique_ptr<DriveLayer> layer)
{
    releaseAll();
    m_layer = std::move(layer);
    m_started = false;
}

bool DriveRegistry::initialize()
{
    if (!m_layer)
        m_layer = std::make_unique<LibburnDriveLayer>();
    if (!m_started) {
        m_started = m_layer->start();
        if (!m_started)
            return false;
        if (EngineLibraries::ensureIsoInit())
            queueIsoMessages();
    }
    // A rescan would pull the drive from under a running job: keep the list until the job ends.
    if (anyBusy())
        return true;
    releaseAll();
    ++m_generation;

    std::vector<DriveDescription> found = m_layer->scan();
    const VirtualDriveList virtualDrives =
        parseVirtualDrives(QString::fromLocal8Bit(qgetenv("KESTRANE_VIRTUAL_DRIVES")));
    for (const QString &problem : virtualDrives.problems)
        logLine(QStringLiteral("KESTRANE_VIRTUAL_DRIVES: left out %1").arg(problem));

    for (const DriveDescription &description : found) {
        auto entry = std::make_unique<Entry>();
        entry->description = description;
        m_entries.push_back(std::move(entry));
    }
    for (const VirtualDrive &drive : virtualDrives.drives) {
        auto entry = std::make_unique<Entry>();
        entry->description.vendor = QStringLiteral("Kestrane");
        entry->description.product = QStringLiteral("Virtual Recorder");
        entry->description.address = QStringLiteral("stdio:") + drive.path;
        entry->description.devicePath = drive.path;
        entry->description.writer = true;
        entry->isVirtual = true;
        entry->virtualPath = drive.path;
        entry->virtualSize = drive.size;
        m_entries.push_back(std::move(entry));
    }
    // USB sticks and SD cards follow, with the next letters.
    for (const DriveDescription &description : scanSticks()) {
        auto entry = std::make_unique<Entry>();
        entry->description = description;
        m_entries.push_back(std::move(entry));
    }
    const int lettersAvailable = LastLetter - FirstLetter + 1;
    if (int(m_entries.size()) > lettersAvailable) {
        logLine(QStringLiteral("%1 drives found; only the first %2 get a drive letter")
                    .arg(m_entries.size())
                    .arg(lettersAvailable));
        m_entries.resize(size_t(lettersAvailable));
    }

    DriveLetters::clear();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        Entry &entry = *m_entries[i];
        entry.drive = isStickAddress(entry.description.address) ? stickDrive(entry.description)
                                                                : m_layer->drive(entry.description);
        DriveLetters::bind(QChar(FirstLetter + int(i)), entry.description.devicePath);
    }
    pumpMessages();
    return true;
}

bool DriveRegistry::refreshSticks()
{
    if (!m_started)
        return true; // nothing listed yet: the first initialize() finds them
    if (anyBusy())
        return false;
    // Sticks are the last entries: the drives before them keep their letters.
    while (!m_entries.empty() && isStickAddress(m_entries.back()->description.address))
        m_entries.pop_back();
    ++m_generation;
    const size_t lettersAvailable = size_t(LastLetter - FirstLetter + 1);
    for (const DriveDescription &description : scanSticks(true)) {
        if (m_entries.size() >= lettersAvailable)
            break;
        auto entry = std::make_unique<Entry>();
        entry->description = description;
        entry->drive = stickDrive(description);
        m_entries.push_back(std::move(entry));
    }
    DriveLetters::clear();
    for (size_t i = 0; i < m_entries.size(); ++i)
        DriveLetters::bind(QChar(FirstLetter + int(i)), m_entries[i]->description.devicePath);
    pumpMessages();
    return true;
}

DriveRegistry::Entry *DriveRegistry::entry(int index)
{
    if (index < 0 || index >= int(m_entries.size()))
        return nullptr;
    return m_entries[size_t(index)].get();
}

int DriveRegistry::defaultWriter() const
{
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i]->description.writer)
            return int(i);
    }
    return -1;
}

bool DriveRegistry::anyBusy() const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [](const auto &e) { return e->busy; });
}

bool DriveRegistry::refreshMedium(Entry &entry)
{
    if (entry.busy)
        return true;
    if (!acquire(entry))
        return false;
    entry.lastMedium = entry.drive->medium();
    pumpMessages();
    return true;
}

bool DriveRegistry::acquire(Entry &entry)
{
    const bool held = entry.drive && entry.drive->acquire();
    pumpMessages();
    return held;
}

void DriveRegistry::pumpMessages()
{
    if (!m_layer || !m_started)
        return;
    std::vector<LibraryMessage> messages = m_layer->takeMessages();
    for (LibraryMessage &message : takeIsoMessages())
        messages.push_back(std::move(message));
    for (LibraryMessage &message : takeStickMessages())
        messages.push_back(std::move(message));
    for (LibraryMessage &message : messages) {
        if (m_collectors.empty()) {
            if (!isDebug(message))
                logMessage(message);
            continue;
        }
        for (std::vector<LibraryMessage> *collector : m_collectors)
            collector->push_back(message);
    }
}

void DriveRegistry::addCollector(std::vector<LibraryMessage> *messages)
{
    m_collectors.push_back(messages);
}

void DriveRegistry::removeCollector(std::vector<LibraryMessage> *messages)
{
    std::erase(m_collectors, messages);
}

void DriveRegistry::shutdown()
{
    releaseAll();
    m_layer.reset();
    m_started = false;
}

void DriveRegistry::releaseAll()
{
    // Drive objects cancel and wait for a job still running before they let go of the drive.
    m_entries.clear();
    pumpMessages();
}

} // namespace Drives
