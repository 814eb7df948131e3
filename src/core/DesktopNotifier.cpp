#include "core/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

void DesktopNotifier::notify(const QString &title, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // replaces_id 0: a new notification each time; expire_timeout -1: the server's own default.
    message << QStringLiteral("Kestrane") << quint32(0) << QStringLiteral("kestrane") << title << body
            << QStringList() << QVariantMap() << qint32(-1);
    // Sent, not called: the answer (the notification's id, or an error where no service runs) is of no
    // use to us, and waiting for it is what must not happen.
    bus.send(message);
}
