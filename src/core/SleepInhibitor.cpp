#include "core/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QPointer>
#include <QVariantMap>

namespace {

// Long enough for a service that bus activation starts first, short enough that a hung logind does not
// keep the portal from being asked while the job is still young.
constexpr int AskTimeoutMs = 5000;

// The portal's flags: 4 suspend, 8 idle.
constexpr quint32 PortalSuspendAndIdle = 4 | 8;

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");

} // namespace

struct SleepInhibitor::Lock
{
    QString reason;
    Hold hold = Hold::Asking;
    bool ended = false;
    QPointer<SleepInhibitor> owner;
    // logind holds the machine awake until this descriptor is closed.
    QDBusUnixFileDescriptor logindFd;
    // The portal until its request is closed.
    QString portalHandle;

    void settle(Hold how)
    {
        hold = how;
        if (owner)
            Q_EMIT owner->settled(how);
    }

    void release()
    {
        logindFd = QDBusUnixFileDescriptor();
        if (!portalHandle.isEmpty()) {
            QDBusConnection::sessionBus().send(QDBusMessage::createMethodCall(
                PortalService, portalHandle, QStringLiteral("org.freedesktop.portal.Request"),
                QStringLiteral("Close")));
            portalHandle.clear();
        }
    }
};

namespace {

template<typename OnReply>
void ask(QDBusConnection bus, const QDBusMessage &message, OnReply onReply)
{
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, AskTimeoutMs));
    // The watcher owns itself: it lives until the answer comes, even when the job has ended before.
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [onReply](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         onReply(*call);
                     });
}

} // namespace

QString SleepInhibitor::reasonFor(Job job)
{
    switch (job) {
    case Job::Burn:
        return QStringLiteral("Burning a disc: sleeping now would ruin it");
    case Job::Erase:
        return QStringLiteral("Erasing a disc: sleeping now would leave it unusable");
    case Job::StickWrite:
        return QStringLiteral(
            "Writing an image to a USB stick or SD card: sleeping now would leave it unusable");
    case Job::ImageWrite:
        return QStringLiteral("Writing an ISO image: sleeping now would leave it unfinished");
    }
    return {};
}

SleepInhibitor::SleepInhibitor(Job job, QObject *parent)
    : QObject(parent)
    , m_lock(std::make_shared<Lock>())
{
    m_lock->reason = reasonFor(job);
    m_lock->owner = this;
    askLogind(m_lock);
}

void SleepInhibitor::askLogind(const std::shared_ptr<Lock> &lock)
{
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected()) {
        askPortal(lock);
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    message << QStringLiteral("sleep:idle") << QStringLiteral("Kestrane") << lock->reason
            << QStringLiteral("block");
    ask(system, message, [lock](QDBusPendingCallWatcher &call) {
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = call;
        // No logind (or one that refuses us): the portal may still hold the machine awake.
        if (reply.isError() || !reply.value().isValid()) {
            askPortal(lock);
            return;
        }
        lock->logindFd = reply.value();
        if (lock->ended) {
            lock->release();
            return;
        }
        lock->settle(Hold::Logind);
    });
}

void SleepInhibitor::askPortal(const std::shared_ptr<Lock> &lock)
{
    if (lock->ended)
        return;
    QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        lock->settle(Hold::None);
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        PortalService, QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"));
    message << QString() << PortalSuspendAndIdle << QVariantMap {{QStringLiteral("reason"), lock->reason}};
    ask(session, message, [lock](QDBusPendingCallWatcher &call) {
        QDBusPendingReply<QDBusObjectPath> reply = call;
        if (reply.isError() || reply.value().path().isEmpty()) {
            lock->settle(Hold::None);
            return;
        }
        lock->portalHandle = reply.value().path();
        if (lock->ended) {
            lock->release();
            return;
        }
        lock->settle(Hold::Portal);
    });
}

SleepInhibitor::~SleepInhibitor()
{
    m_lock->ended = true;
    m_lock->owner = nullptr;
    m_lock->release();
}

SleepInhibitor::Hold SleepInhibitor::hold() const
{
    return m_lock->hold;
}
