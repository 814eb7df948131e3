#pragma once

#include "engine/drives/DriveLayer.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Holds every answer of the scripted drives while it is closed: a drive that does not answer until
// the test lets it. Opened and closed from the test's thread, passed on the drive thread.
class AnswerGate final
{
public:
    void close();
    void open();
    void pass();

private:
    std::mutex m_mutex;
    std::condition_variable m_opened;
    bool m_closed = false;
};

// Drives whose state a test writes down: the states that need hardware (a CD-RW, no disc, a drive
// error) without it. The test keeps a shared pointer to the script and reads what the engine asked.
struct DriveScript
{
    Drives::DriveDescription description;
    Drives::MediumInfo medium;
    bool canAcquire = true;
    bool startSucceeds = true;
    std::vector<int64_t> progressSteps {100, 200}; // sectors, one per poll, then the job ends
    int64_t progressOf = 0; // of how many steps, as the library tells an erase's; 0 untold
    size_t closingFrom = size_t(-1); // from this step on the drive says it closes the track
    bool jobSucceeds = true;
    QString sourceError;
    std::vector<Drives::LibraryMessage> messagesAtEnd; // queued when the job ends
    QByteArray content; // what the medium's start holds, zeros after it
    bool readable = true; // false: reading the medium's start fails

    // What the engine did.
    bool acquired = false;
    int acquireCalls = 0;
    int ejects = 0;
    int releases = 0;
    int cancels = 0;
    std::vector<Drives::WriteRequest> writes;
    std::vector<bool> erases; // the quick flag of each erase
};

struct LayerScript
{
    std::vector<std::shared_ptr<DriveScript>> drives;
    std::vector<Drives::LibraryMessage> queued; // handed out by the next takeMessages()
    // Every answer of a drive (the scan, opening a drive, its medium, the start of a job) waits for
    // the gate, then takes this long, as a real recorder spinning up does.
    std::chrono::milliseconds answerDelay {0};
    std::shared_ptr<AnswerGate> gate = std::make_shared<AnswerGate>();

    void answer() const;
};

class ScriptedDriveLayer final : public Drives::DriveLayer
{
public:
    explicit ScriptedDriveLayer(std::shared_ptr<LayerScript> script)
        : m_script(std::move(script))
    { }
    bool start() override { return true; }
    std::vector<Drives::DriveDescription> scan() override;
    std::unique_ptr<Drives::Drive> drive(const Drives::DriveDescription &description) override;
    std::vector<Drives::LibraryMessage> takeMessages() override;

private:
    std::shared_ptr<LayerScript> m_script;
};

std::shared_ptr<DriveScript> scriptedDrive(const QString &device, bool writer, int profile,
                                           Drives::DiscStatus status, std::vector<int> driveProfiles);
