#include "engine/drives/UdisksClient.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

namespace Drives::Udisks {

namespace {

const QString Service = QStringLiteral("org.freedesktop.UDisks2");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UDisks2");
const QString ObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
constexpr int ListTimeoutMs = 5000;
constexpr int CallTimeoutMs = 60'000;
// OpenDevice may wait for the user to type a password into the desktop's dialog.
constexpr int OpenTimeoutMs = 10 * 60'000;
// Plugging a stick sends a burst of signals: one read of the objects after the burst.
constexpr int RefetchDelayMs = 200;

QVariant plainValue(const QVariant &value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return value;
    const auto argument = value.value<QDBusArgument>();
    const QString signature = argument.currentSignature();
    if (signature == QLatin1String("ay")) {
        QByteArray bytes;
        argument >> bytes;
        return bytes;
    }
    if (signature == QLatin1String("aay")) {
        QByteArrayList list;
        argument.beginArray();
        while (!argument.atEnd()) {
            QByteArray bytes;
            argument >> bytes;
            list.append(bytes);
        }
        argument.endArray();
        return QVariant::fromValue(list);
    }
    if (signature == QLatin1String("ao")) {
        QStringList paths;
        argument.beginArray();
        while (!argument.atEnd()) {
            QDBusObjectPath path;
            argument >> path;
            paths.append(path.path());
        }
        argument.endArray();
        return paths;
    }
    return {}; // structures no rule reads (Configuration, ...)
}

bool sameSticks(const std::vector<Stick> &a, const std::vector<Stick> &b)
{
    const auto key = [](const Stick &s) {
        QStringList parts {s.objectPath, s.device, s.vendor, s.model, QString::number(s.size), s.label};
        for (const Partition &p : s.partitions)
            parts << p.device << p.label;
        return parts;
    };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (key(a[i]) != key(b[i]))
            return false;
    }
    return true;
}

QVariantMap interactive()
{
    return {{QStringLiteral("auth.no_user_interaction"), false}};
}

} // namespace

std::optional<ManagedObjects> parseManagedObjects(const QDBusMessage &reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        reply.signature() != QLatin1String("a{oa{sa{sv}}}"))
        return std::nullopt;
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    ManagedObjects objects;
    argument.beginMap();
    while (!argument.atEnd()) {
        argument.beginMapEntry();
        QDBusObjectPath path;
        argument >> path;
        Interfaces interfaces;
        argument.beginMap();
        while (!argument.atEnd()) {
            argument.beginMapEntry();
            QString name;
            argument >> name;
            QVariantMap properties;
            argument.beginMap();
            while (!argument.atEnd()) {
                argument.beginMapEntry();
                QString key;
                QDBusVariant value;
                argument >> key >> value;
                properties.insert(key, plainValue(value.variant()));
                argument.endMapEntry();
            }
            argument.endMap();
            interfaces.insert(name, properties);
            argument.endMapEntry();
        }
        argument.endMap();
        objects.insert(path.path(), interfaces);
        argument.endMapEntry();
    }
    argument.endMap();
    return objects;
}

CallResult UdisksCalls::call(const QString &objectPath, const QString &interface, const QString &method,
                             const QVariantList &arguments, int timeoutMs, const std::atomic<bool> &stop)
{
    CallResult result;
    if (!m_connection.isConnected()) {
        result.errorName = QStringLiteral("org.freedesktop.DBus.Error.NoServer");
        result.errorText = QStringLiteral("the system bus cannot be reached");
        return result;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(Service, objectPath, interface, method);
    message.setArguments(arguments);
    message.setInteractiveAuthorizationAllowed(true);
    QDBusPendingCall pending = m_connection.asyncCall(message, timeoutMs);
    // The answer arrives on the connection's own thread: wait for it here, in steps, so that a cancel
    // is seen while the desktop still asks for a password.
    while (!pending.isFinished()) {
        if (stop) {
            result.errorName = QStringLiteral("org.freedesktop.UDisks2.Error.Cancelled");
            result.errorText = QStringLiteral("cancelled");
            return result;
        }
        QThread::msleep(20);
    }
    const QDBusMessage reply = pending.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        result.errorName = reply.errorName();
        result.errorText = reply.errorMessage();
        return result;
    }
    result.arguments = reply.arguments();
    return result;
}

CallResult UdisksCalls::unmount(const QString &objectPath, const std::atomic<bool> &stop)
{
    CallResult result = call(objectPath, QStringLiteral("org.freedesktop.UDisks2.Filesystem"),
                             QStringLiteral("Unmount"), {interactive()}, CallTimeoutMs, stop);
    if (result.errorName == QLatin1String("org.freedesktop.UDisks2.Error.NotMounted"))
        return {};
    return result;
}

CallResult UdisksCalls::openDevice(const QString &objectPath, int &fd, const std::atomic<bool> &stop)
{
    fd = -1;
    QVariantMap options = interactive();
    // O_EXCL: the kernel refuses a device that is mounted or otherwise in use; never open without it.
    options.insert(QStringLiteral("flags"), int(O_EXCL | O_SYNC | O_CLOEXEC));
    CallResult result =
        call(objectPath, QStringLiteral("org.freedesktop.UDisks2.Block"), QStringLiteral("OpenDevice"),
             {QStringLiteral("rw"), options}, OpenTimeoutMs, stop);
    if (!result.ok())
        return result;
    const auto descriptor = result.arguments.value(0).value<QDBusUnixFileDescriptor>();
    // The reply's descriptor closes with the reply: keep one of our own.
    if (descriptor.isValid())
        fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        result.errorName = QStringLiteral("org.freedesktop.UDisks2.Error.Failed");
        result.errorText = QStringLiteral("UDisks2 answered without a file descriptor");
    }
    return result;
}

CallResult UdisksCalls::rescan(const QString &objectPath, const std::atomic<bool> &stop)
{
    return call(objectPath, QStringLiteral("org.freedesktop.UDisks2.Block"), QStringLiteral("Rescan"),
                {interactive()}, CallTimeoutMs, stop);
}

UdisksMonitor::UdisksMonitor(QObject *parent)
    : QObject(parent)
    , m_connectionName(QStringLiteral("kestrane-udisks-%1").arg(quintptr(this), 0, 16))
    , m_connection(QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_connectionName))
    , m_calls(std::make_shared<UdisksCalls>(m_connection))
{
    m_refetch = new QTimer(this);
    m_refetch->setSingleShot(true);
    m_refetch->setInterval(RefetchDelayMs);
    connect(m_refetch, &QTimer::timeout, this, [this] {
        if (m_fetching) {
            m_fetchAgain = true;
            return;
        }
        m_fetching = true;
        const QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ObjectManager,
                                                                    QStringLiteral("GetManagedObjects"));
        auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message, ListTimeoutMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
            watcher->deleteLater();
            m_fetching = false;
            if (const std::optional<ManagedObjects> objects = parseManagedObjects(watcher->reply()))
                refetched(*objects);
            if (std::exchange(m_fetchAgain, false))
                refetchLater();
        });
    });
    if (!m_connection.isConnected())
        return;
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    m_connection.connect(Service, ManagerPath, ObjectManager, QStringLiteral("InterfacesAdded"), this,
                         SLOT(onSignal(QDBusMessage)));
    m_connection.connect(Service, ManagerPath, ObjectManager, QStringLiteral("InterfacesRemoved"), this,
                         SLOT(onSignal(QDBusMessage)));
    m_connection.connect(Service, QString(), properties, QStringLiteral("PropertiesChanged"), this,
                         SLOT(onSignal(QDBusMessage)));
}

UdisksMonitor::~UdisksMonitor()
{
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool UdisksMonitor::refresh()
{
    if (!m_connection.isConnected())
        return false;
    const QDBusMessage message = QDBusMessage::createMethodCall(Service, ManagerPath, ObjectManager,
                                                                QStringLiteral("GetManagedObjects"));
    const std::optional<ManagedObjects> objects =
        parseManagedObjects(m_connection.call(message, QDBus::Block, ListTimeoutMs));
    if (!objects)
        return false;
    std::lock_guard lock(m_objectsLock);
    m_objects = *objects;
    return true;
}

ManagedObjects UdisksMonitor::objects() const
{
    std::lock_guard lock(m_objectsLock);
    return m_objects;
}

std::vector<Stick> UdisksMonitor::sticks() const
{
    return eligibleSticks(objects());
}

void UdisksMonitor::onSignal(const QDBusMessage &)
{
    refetchLater();
}

void UdisksMonitor::refetchLater()
{
    if (!m_refetch->isActive())
        m_refetch->start();
}

void UdisksMonitor::refetched(const ManagedObjects &objects)
{
    bool same = false;
    {
        std::lock_guard lock(m_objectsLock);
        same = sameSticks(eligibleSticks(m_objects), eligibleSticks(objects));
        m_objects = objects;
    }
    if (!same)
        Q_EMIT sticksChanged();
}

} // namespace Drives::Udisks
