#include "DesktopBus.h"

#include "TestSupport.h"
#include "core/DesktopNotifier.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace DesktopBus {

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");

} // namespace

PrivateBuses &PrivateBuses::instance()
{
    static PrivateBuses buses;
    return buses;
}

PrivateBuses::PrivateBuses()
{
    const char *variables[] = {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"};
    const auto nowhere = [&variables] {
        qputenv(variables[0], "unix:path=/nonexistent/kestrane-system");
        qputenv(variables[1], "unix:path=/nonexistent/kestrane-session");
    };
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
        m_error = QStringLiteral("dbus-daemon is missing");
        nowhere();
        return;
    }
    if (QProcess::execute(Python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0) {
        m_error = QStringLiteral("python3-dbusmock is missing");
        nowhere();
        return;
    }
    for (int i = 0; i < 2; ++i) {
        QProcess &bus = m_buses[i];
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                   QStringLiteral("--print-address=1"),
                   QStringLiteral("--address=unix:dir=") + m_dir.path()});
        if (!bus.waitForReadyRead(10000)) {
            m_error = QStringLiteral("dbus-daemon did not start");
            nowhere();
            return;
        }
        qputenv(variables[i], bus.readLine().trimmed());
    }
}

PrivateBuses::~PrivateBuses()
{
    for (QProcess &bus : m_buses) {
        bus.kill();
        bus.waitForFinished(5000);
    }
}

MockService::MockService(QDBusConnection bus, const QString &name, const QStringList &arguments)
    : m_bus(bus)
    , m_name(name)
    , m_log(PrivateBuses::instance().dir() + QStringLiteral("/") + name + QStringLiteral(".log"))
{
    QFile::remove(m_log);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(
        Python,
        QStringList {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("-l"), m_log} +
            arguments);
    m_up = TestSupport::waitFor([this] { return registered(); }, 20000);
}

MockService::~MockService()
{
    m_process.kill();
    m_process.waitForFinished(5000);
    // Gone from the bus before the next test looks for it.
    TestSupport::waitFor([this] { return !registered(); }, 10000);
}

QStringList MockService::calls() const
{
    QStringList calls;
    if (!QFile::exists(m_log))
        return calls;
    static const QRegularExpression stamp(QStringLiteral("^[0-9]+\\.[0-9]+ "));
    const QString log = QString::fromUtf8(TestSupport::readAll(m_log));
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = stamp.match(line);
        if (match.hasMatch())
            calls << line.mid(match.capturedLength());
        else if (!calls.isEmpty())
            calls.last() += QLatin1Char('\n') + line;
    }
    // The line break that ends the last call.
    if (!calls.isEmpty() && calls.last().endsWith(QLatin1Char('\n')))
        calls.last().chop(1);
    return calls;
}

QDBusMessage MockService::call(const QString &path, const QString &interface, const QString &method,
                               const QVariantList &arguments) const
{
    QDBusMessage message = QDBusMessage::createMethodCall(m_name, path, interface, method);
    message.setArguments(arguments);
    return m_bus.call(message, QDBus::Block, 10000);
}

bool MockService::registered() const
{
    return m_bus.interface()->isServiceRegistered(m_name).value();
}

std::unique_ptr<MockService> startLogind()
{
    return std::make_unique<MockService>(
        QDBusConnection::systemBus(), QStringLiteral("org.freedesktop.login1"),
        QStringList {QStringLiteral("--template"), QStringLiteral("logind")});
}

std::unique_ptr<MockService> startNotificationDaemon()
{
    return std::make_unique<MockService>(
        QDBusConnection::sessionBus(), QStringLiteral("org.freedesktop.Notifications"),
        QStringList {QStringLiteral("--session"), QStringLiteral("--template"),
                     QStringLiteral("notification_daemon")});
}

QList<Inhibitor> logindInhibitors(const MockService &logind)
{
    const QDBusMessage reply =
        logind.call(QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("ListInhibitors"));
    QList<Inhibitor> list;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return list;
    const QDBusArgument argument = reply.arguments().value(0).value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        Inhibitor inhibitor;
        quint32 uid = 0, pid = 0;
        argument.beginStructure();
        argument >> inhibitor.what >> inhibitor.who >> inhibitor.why >> inhibitor.mode >> uid >> pid;
        argument.endStructure();
        list << inhibitor;
    }
    argument.endArray();
    return list;
}

QStringList notifiedBodies(const MockService &daemon)
{
    // Notify "app" id "icon" "summary" "body" [] {} timeout: the body is the fifth argument.
    static const QRegularExpression notify(
        QStringLiteral("^Notify \"Kestrane\" 0 \"kestrane\" \"Kestrane\" \"(.*)\" \\[\\] \\{\\} -1$"),
        QRegularExpression::DotMatchesEverythingOption);
    QStringList bodies;
    for (const QString &call : daemon.calls()) {
        const QRegularExpressionMatch match = notify.match(call);
        bodies << (match.hasMatch() ? match.captured(1) : call);
    }
    return bodies;
}

QStringList notifiedSoFar(const MockService &daemon)
{
    const QString marker = QStringLiteral("kestrane test marker");
    DesktopNotifier::notify(QStringLiteral("Kestrane"), marker);
    QStringList bodies;
    TestSupport::waitFor(
        [&] {
            bodies = notifiedBodies(daemon);
            return bodies.contains(marker);
        },
        10000);
    if (!bodies.isEmpty() && bodies.last() == marker)
        bodies.removeLast();
    else
        bodies << QStringLiteral("(the marker never came)");
    return bodies;
}

} // namespace DesktopBus
