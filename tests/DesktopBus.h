#pragma once

// Private D-Bus buses and python3-dbusmock stand-ins for the services the desktop offers, so that a test
// never reaches the machine's own logind, portal or notification service.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

#include <gtest/gtest.h>

#include <memory>

namespace DesktopBus {

// A system bus and a session bus of our own, started once: the buses' addresses are read once per
// program, at the first connection. Where they cannot start, both addresses point nowhere, as on a
// machine without D-Bus.
class PrivateBuses final
{
public:
    static PrivateBuses &instance();
    bool running() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString dir() const { return m_dir.path(); }
    ~PrivateBuses();

private:
    PrivateBuses();

    QTemporaryDir m_dir;
    QProcess m_buses[2];
    QString m_error;
};

// For a program whose jobs talk to the desktop: the private buses start before any test runs, so that no
// job of the program reaches the machine's own services.
class OwnBuses final : public ::testing::Environment
{
public:
    void SetUp() override { PrivateBuses::instance(); }
};

// One python3-dbusmock stand-in, running while the object lives, its calls logged to a file.
class MockService final
{
public:
    MockService(QDBusConnection bus, const QString &name, const QStringList &arguments);
    ~MockService();
    bool up() const { return m_up; }
    // The calls the stand-in logged, without their time stamps; a text with a line break in it goes on
    // over the log's next lines.
    QStringList calls() const;
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) const;

private:
    bool registered() const;

    QDBusConnection m_bus;
    QString m_name;
    QString m_log;
    QProcess m_process;
    bool m_up = false;
};

std::unique_ptr<MockService> startLogind();
std::unique_ptr<MockService> startNotificationDaemon();

struct Inhibitor
{
    QString what, who, why, mode;
};

// The locks logind's stand-in holds.
QList<Inhibitor> logindInhibitors(const MockService &logind);

// The Notify calls' bodies, in order.
QStringList notifiedBodies(const MockService &daemon);

// The bodies of what the program has notified so far. A notification is sent, not called, so a marker
// is sent after it: the bus keeps one connection's messages in order, so once the marker is logged,
// everything sent before it is too. The marker is not among the bodies answered.
QStringList notifiedSoFar(const MockService &daemon);

} // namespace DesktopBus
