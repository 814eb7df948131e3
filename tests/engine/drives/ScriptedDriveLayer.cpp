#include "ScriptedDriveLayer.h"

#include <thread>

void AnswerGate::close()
{
    std::lock_guard guard(m_mutex);
    m_closed = true;
}

void AnswerGate::open()
{
    {
        std::lock_guard guard(m_mutex);
        m_closed = false;
    }
    m_opened.notify_all();
}

void AnswerGate::pass()
{
    std::unique_lock lock(m_mutex);
    m_opened.wait(lock, [this] { return !m_closed; });
}

void LayerScript::answer() const
{
    gate->pass();
    if (answerDelay.count() > 0)
        std::this_thread::sleep_for(answerDelay);
}

namespace {

class ScriptedDrive final : public Drives::Drive
{
public:
    ScriptedDrive(std::shared_ptr<DriveScript> script, std::shared_ptr<LayerScript> layer)
        : m_script(std::move(script))
        , m_layer(std::move(layer))
    { }

    bool acquire() override
    {
        if (!m_script->acquired)
            m_layer->answer(); // a held drive answers at once
        ++m_script->acquireCalls;
        if (!m_script->acquired && m_script->canAcquire)
            m_script->acquired = true;
        return m_script->acquired;
    }
    bool isAcquired() const override { return m_script->acquired; }
    void release(bool eject) override
    {
        if (!m_script->acquired)
            return;
        m_script->acquired = false;
        ++m_script->releases;
        m_script->ejects += eject ? 1 : 0;
    }
    Drives::MediumInfo medium() override
    {
        m_layer->answer();
        return m_script->medium;
    }
    bool startWrite(const Drives::WriteRequest &request) override
    {
        m_layer->answer();
        m_script->writes.push_back(request);
        return begin();
    }
    bool startErase(bool quick) override
    {
        m_layer->answer();
        m_script->erases.push_back(quick);
        return begin();
    }
    Drives::Progress progress() override
    {
        if (!m_running)
            return {};
        if (m_step < m_script->progressSteps.size()) {
            const bool closing = m_step >= m_script->closingFrom;
            return {true, m_script->progressSteps[m_step++], m_script->progressOf, closing};
        }
        m_running = false;
        for (const Drives::LibraryMessage &message : m_script->messagesAtEnd)
            m_layer->queued.push_back(message);
        return {};
    }
    Drives::JobOutcome outcome() override
    {
        return {m_script->jobSucceeds && !m_cancelled, m_script->sourceError};
    }
    QByteArray readStart(int64_t bytes) override
    {
        m_layer->answer();
        if (!m_script->readable)
            return {};
        QByteArray start = m_script->content.left(qsizetype(bytes));
        start.append(QByteArray(qsizetype(bytes) - start.size(), '\0'));
        return start;
    }
    void cancel() override
    {
        ++m_script->cancels;
        m_cancelled = true;
        m_step = m_script->progressSteps.size();
    }

private:
    bool begin()
    {
        if (!m_script->startSucceeds)
            return false;
        m_running = true;
        m_cancelled = false;
        m_step = 0;
        return true;
    }

    std::shared_ptr<DriveScript> m_script;
    std::shared_ptr<LayerScript> m_layer;
    bool m_running = false;
    bool m_cancelled = false;
    size_t m_step = 0;
};

} // namespace

std::vector<Drives::DriveDescription> ScriptedDriveLayer::scan()
{
    m_script->answer();
    std::vector<Drives::DriveDescription> found;
    for (const auto &drive : m_script->drives)
        found.push_back(drive->description);
    return found;
}

std::unique_ptr<Drives::Drive> ScriptedDriveLayer::drive(const Drives::DriveDescription &description)
{
    for (const auto &drive : m_script->drives) {
        if (drive->description.address == description.address)
            return std::make_unique<ScriptedDrive>(drive, m_script);
    }
    return nullptr;
}

std::vector<Drives::LibraryMessage> ScriptedDriveLayer::takeMessages()
{
    return std::exchange(m_script->queued, {});
}

std::shared_ptr<DriveScript> scriptedDrive(const QString &device, bool writer, int profile,
                                           Drives::DiscStatus status, std::vector<int> driveProfiles)
{
    auto script = std::make_shared<DriveScript>();
    script->description = {QStringLiteral("Vendor"), QStringLiteral("Model ") + device, device, device,
                           writer};
    script->medium.profile = profile;
    script->medium.status = status;
    script->medium.freeBytes = int64_t(4'700'372'992);
    script->medium.maxWriteSpeed = 11080;
    script->medium.driveProfiles = std::move(driveProfiles);
    return script;
}
