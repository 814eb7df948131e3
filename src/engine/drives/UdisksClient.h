#pragma once

#include "engine/drives/UdisksModel.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

class QDBusMessage;
class QTimer;

namespace Drives::Udisks {

// The answer of one method call: empty error when it succeeded.
struct CallResult
{
    QString errorName; // "org.freedesktop.UDisks2.Error.NotAuthorized...", empty on success
    QString errorText;
    QVariantList arguments;
    bool ok() const { return errorName.isEmpty(); }
};

// The calls a stick's write makes. Safe from any thread; each call waits for its answer, and gives up
// when `stop` becomes true (the answer is then dropped).
class UdisksCalls
{
public:
    explicit UdisksCalls(QDBusConnection connection)
        : m_connection(std::move(connection))
    { }
    CallResult call(const QString &objectPath, const QString &interface, const QString &method,
                    const QVariantList &arguments, int timeoutMs, const std::atomic<bool> &stop);
    // Filesystem.Unmount of one object; "not mounted" counts as success.
    CallResult unmount(const QString &objectPath, const std::atomic<bool> &stop);
    // Block.OpenDevice("rw", O_EXCL|O_SYNC|O_CLOEXEC), with the desktop allowed to ask for a password.
    // On success `fd` is a descriptor of this process's own.
    CallResult openDevice(const QString &objectPath, int &fd, const std::atomic<bool> &stop);
    CallResult rescan(const QString &objectPath, const std::atomic<bool> &stop);

private:
    QDBusConnection m_connection;
};

// Follows UDisks2 on the system bus (DBUS_SYSTEM_BUS_ADDRESS when set): reads every object at
// refresh(), then reads them again whenever an object or a property changes, and says when the list
// of sticks that may be written changed. Lives on the thread that made it.
class UdisksMonitor final : public QObject
{
    Q_OBJECT
public:
    explicit UdisksMonitor(QObject *parent = nullptr);
    ~UdisksMonitor() override;

    // Reads every object now; false when UDisks2 does not answer (then there are no sticks).
    bool refresh();
    // Both may be asked from the drive thread while the monitor's own thread takes in a change.
    ManagedObjects objects() const;
    std::vector<Stick> sticks() const;
    std::shared_ptr<UdisksCalls> calls() const { return m_calls; }

Q_SIGNALS:
    // The eligible sticks are not those of the last refresh any more.
    void sticksChanged();

private Q_SLOTS:
    void onSignal(const QDBusMessage &message);

private:
    void refetchLater();
    void refetched(const ManagedObjects &objects);

    QString m_connectionName;
    QDBusConnection m_connection;
    std::shared_ptr<UdisksCalls> m_calls;
    mutable std::mutex m_objectsLock;
    ManagedObjects m_objects;
    QTimer *m_refetch = nullptr;
    bool m_fetching = false;
    bool m_fetchAgain = false;
};

// Turns a GetManagedObjects reply into plain data: byte strings and lists of them become QByteArray
// and QByteArrayList, object paths QDBusObjectPath.
std::optional<ManagedObjects> parseManagedObjects(const QDBusMessage &reply);

} // namespace Drives::Udisks
