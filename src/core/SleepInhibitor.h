#pragma once

#include <QObject>
#include <QString>

#include <memory>

// Keeps the machine awake while a job that a suspend would ruin runs: one object per job, taken when
// the job starts and destroyed when it ends, whether it finished, failed or was cancelled. It asks
// logind on the system bus and, where logind is absent or refuses, the desktop portal on the session bus.
// Both are asked without waiting: the answer comes back through the event loop, so a slow or missing
// service never stalls the thread that started the job (which must run an event loop: the UI thread,
// kestrane-cli's loop). Without either service, nothing is held.
class SleepInhibitor final : public QObject
{
    Q_OBJECT

public:
    enum class Job { Burn, Erase, StickWrite, ImageWrite };
    enum class Hold { Asking, Logind, Portal, None };
    Q_ENUM(Hold)

    // What the desktop shows a person who tries to suspend while the job runs.
    static QString reasonFor(Job job);

    explicit SleepInhibitor(Job job, QObject *parent = nullptr);
    ~SleepInhibitor() override;

    Hold hold() const;

Q_SIGNALS:
    // Once, when the services have answered: what holds the machine awake, or None.
    void settled(SleepInhibitor::Hold hold);

private:
    struct Lock;
    static void askLogind(const std::shared_ptr<Lock> &lock);
    static void askPortal(const std::shared_ptr<Lock> &lock);

    // Shared with the pending calls: an answer that arrives after the job has ended still finds the
    // lock, and lets go of it at once.
    std::shared_ptr<Lock> m_lock;
};
