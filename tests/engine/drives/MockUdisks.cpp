#include "MockUdisks.h"

#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QStandardPaths>

namespace {

QByteArray patterned(qint64 bytes, int seed)
{
    QByteArray data(int(bytes), '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 31 + seed) % 253);
    return data;
}

} // namespace

MockUdisks &MockUdisks::instance()
{
    static MockUdisks mock;
    return mock;
}

QByteArray MockUdisks::oldStickContent()
{
    QByteArray bytes = patterned(StickBytes, 5);
    // A backup GPT header in the last sector, as a stick formatted elsewhere carries.
    bytes.replace(int(StickBytes - 512), 8, "EFI PART");
    return bytes;
}

QByteArray MockUdisks::systemContent()
{
    return patterned(SystemBytes, 11);
}

MockUdisks::MockUdisks()
{
    // The system's python3, which python3-dbus and python3-gi belong to, before one a user put first.
    const QString python = QFile::exists(QStringLiteral("/usr/bin/python3"))
        ? QStringLiteral("/usr/bin/python3")
        : QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() || python.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon or python3 is missing");
        return;
    }
    reset();
    // A bus of our own: the session configuration lets any local client own any name.
    m_bus.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                 QStringLiteral("--print-address=1"), QStringLiteral("--address=unix:dir=") + m_dir.path()});
    if (!m_bus.waitForReadyRead(10000)) {
        m_error = QStringLiteral("dbus-daemon did not start: ") +
            QString::fromLocal8Bit(m_bus.readAllStandardError());
        return;
    }
    m_address = QString::fromLocal8Bit(m_bus.readLine()).trimmed();
    m_mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_mock.start(python,
                 {QStringLiteral(KESTRANE_UDISKS_MOCK), QStringLiteral("--address"), m_address,
                  QStringLiteral("--stick"), stickFile(), QStringLiteral("--system"), systemFile(),
                  QStringLiteral("--log"), m_dir.filePath(QStringLiteral("calls.log"))});
    if (!m_mock.waitForReadyRead(20000) || !m_mock.readLine().startsWith("ready")) {
        m_error =
            QStringLiteral("the UDisks2 stand-in did not start (python3-dbus and python3-gi are needed)");
        return;
    }
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.toLocal8Bit());
    qunsetenv("KESTRANE_NO_STICKS");
    m_running = true;
}

MockUdisks::~MockUdisks()
{
    for (QProcess *process : {&m_mock, &m_bus}) {
        process->kill();
        process->waitForFinished(5000);
    }
}

void MockUdisks::reset()
{
    TestSupport::writeAll(stickFile(), oldStickContent());
    TestSupport::writeAll(systemFile(), systemContent());
    // Emptied, not removed: the stand-in keeps the file open for appending.
    TestSupport::writeAll(m_dir.filePath(QStringLiteral("calls.log")), QByteArray());
    if (m_running) {
        setMode(QStringLiteral("ok"));
        plug(true);
    }
}

bool MockUdisks::control(const QString &method, const QVariantList &arguments)
{
    QDBusConnection connection = QDBusConnection::connectToBus(m_address, QStringLiteral("mock-control"));
    QDBusMessage message = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.UDisks2"),
                                                          QStringLiteral("/org/freedesktop/UDisks2"),
                                                          QStringLiteral("org.kestrane.UdisksMock"), method);
    message.setArguments(arguments);
    return connection.call(message, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage;
}

void MockUdisks::setMode(const QString &mode)
{
    control(QStringLiteral("SetMode"), {mode});
}

void MockUdisks::plug(bool in)
{
    control(in ? QStringLiteral("Plug") : QStringLiteral("Unplug"));
}

QStringList MockUdisks::calls() const
{
    return QString::fromUtf8(TestSupport::readAll(m_dir.filePath(QStringLiteral("calls.log"))))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
