// What the desktop hears from a job: the lock that keeps the machine awake and the notification at the
// end. Every service is a python3-dbusmock stand-in on two private buses this program starts, so
// nothing reaches the machine's own logind, portal or notification service.
#include "TestSupport.h"
#include "core/DesktopNotifier.h"
#include "core/SleepInhibitor.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Python = QStringLiteral("/usr/bin/python3");
const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString Portal = QStringLiteral("org.freedesktop.portal.Desktop");
const QString Notifications = QStringLiteral("org.freedesktop.Notifications");

// A system bus and a session bus of our own, started once: the buses' addresses are read once per
// program, at the first connection.
class PrivateBuses final
{
public:
    static PrivateBuses &instance()
    {
        static PrivateBuses buses;
        return buses;
    }
    bool running() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString dir() const { return m_dir.path(); }

    ~PrivateBuses()
    {
        for (QProcess &bus : m_buses) {
            bus.kill();
            bus.waitForFinished(5000);
        }
    }

private:
    PrivateBuses()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty()) {
            m_error = QStringLiteral("dbus-daemon is missing");
            return;
        }
        if (QProcess::execute(Python, {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0) {
            m_error = QStringLiteral("python3-dbusmock is missing");
            return;
        }
        const char *variables[] = {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"};
        for (int i = 0; i < 2; ++i) {
            QProcess &bus = m_buses[i];
            bus.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                       QStringLiteral("--print-address=1"),
                       QStringLiteral("--address=unix:dir=") + m_dir.path()});
            if (!bus.waitForReadyRead(10000)) {
                m_error = QStringLiteral("dbus-daemon did not start");
                return;
            }
            qputenv(variables[i], bus.readLine().trimmed());
        }
    }

    QTemporaryDir m_dir;
    QProcess m_buses[2];
    QString m_error;
};

// One python3-dbusmock stand-in, running while the object lives, its calls logged to a file.
class MockService final
{
public:
    MockService(QDBusConnection bus, const QString &name, const QStringList &arguments)
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
    ~MockService()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
        // Gone from the bus before the next test looks for it.
        TestSupport::waitFor([this] { return !registered(); }, 10000);
    }
    bool up() const { return m_up; }
    // The calls the stand-in logged, without their time stamps; a text with a line break in it
    // goes on over the log's next lines.
    QStringList calls() const
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
    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments = {}) const
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_name, path, interface, method);
        message.setArguments(arguments);
        return m_bus.call(message, QDBus::Block, 10000);
    }

private:
    bool registered() const { return m_bus.interface()->isServiceRegistered(m_name).value(); }

    QDBusConnection m_bus;
    QString m_name;
    QString m_log;
    QProcess m_process;
    bool m_up = false;
};

// Counts the inhibitor's answers.
struct Settled
{
    explicit Settled(SleepInhibitor &inhibitor)
    {
        QObject::connect(&inhibitor, &SleepInhibitor::settled, &inhibitor, [this] { ++count; });
    }
    bool wait() const
    {
        return TestSupport::waitFor([this] { return count > 0; }, 10000);
    }
    int count = 0;
};

struct Inhibitor
{
    QString what, who, why, mode;
};

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

class DesktopFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PrivateBuses::instance().running())
            GTEST_SKIP() << qPrintable(PrivateBuses::instance().error());
    }

    static std::unique_ptr<MockService> startLogind()
    {
        return std::make_unique<MockService>(
            QDBusConnection::systemBus(), Logind,
            QStringList {QStringLiteral("--template"), QStringLiteral("logind")});
    }

    // The portal's Inhibit answers a request handle, closed through org.freedesktop.portal.Request; it
    // may take its time to answer.
    static std::unique_ptr<MockService> startPortal(int answerAfterMs = 0)
    {
        auto portal =
            std::make_unique<MockService>(QDBusConnection::sessionBus(), Portal,
                                          QStringList {QStringLiteral("--session"), Portal,
                                                       QStringLiteral("/org/freedesktop/portal/desktop"),
                                                       QStringLiteral("org.freedesktop.portal.Inhibit")});
        if (!portal->up())
            return portal;
        const QString code =
            QStringLiteral(
                "time.sleep(%1 / 1000)\n"
                "self.requests = getattr(self, 'requests', 0) + 1\n"
                "ret = dbus.ObjectPath('/org/freedesktop/portal/desktop/request/1_1/k%d' % self.requests)\n"
                "self.AddObject(ret, 'org.freedesktop.portal.Request', {}, [('Close', '', '', '')])\n")
                .arg(answerAfterMs);
        portal->call(QStringLiteral("/org/freedesktop/portal/desktop"),
                     QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"),
                     {QStringLiteral("org.freedesktop.portal.Inhibit"), QStringLiteral("Inhibit"),
                      QStringLiteral("sua{sv}"), QStringLiteral("o"), code});
        return portal;
    }
};

struct JobRow
{
    const char *name;
    SleepInhibitor::Job job;
    // A word of the reason that tells a person which job keeps the machine awake.
    const char *names;
};

class SleepInhibitorJobs : public DesktopFixture, public ::testing::WithParamInterface<JobRow>
{
};

TEST_P(SleepInhibitorJobs, LogindHoldsTheLockWhileTheJobRunsAndLetsGoAtItsEnd)
{
    auto logind = startLogind();
    ASSERT_TRUE(logind->up());
    auto inhibitor = std::make_unique<SleepInhibitor>(GetParam().job);
    Settled settled(*inhibitor);
    ASSERT_TRUE(settled.wait());
    EXPECT_EQ(inhibitor->hold(), SleepInhibitor::Hold::Logind);

    const QList<Inhibitor> held = logindInhibitors(*logind);
    ASSERT_EQ(held.size(), 1);
    EXPECT_EQ(held[0].what, QStringLiteral("sleep:idle"));
    EXPECT_EQ(held[0].who, QStringLiteral("Kestrane"));
    EXPECT_EQ(held[0].mode, QStringLiteral("block"));
    EXPECT_EQ(held[0].why, SleepInhibitor::reasonFor(GetParam().job));
    EXPECT_TRUE(held[0].why.contains(QLatin1String(GetParam().names))) << qPrintable(held[0].why);

    // Still held while the job goes on.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(logindInhibitors(*logind).size(), 1);

    // The job's end, however it ended, is the object's end.
    inhibitor.reset();
    EXPECT_TRUE(TestSupport::waitFor([&] { return logindInhibitors(*logind).isEmpty(); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(Jobs, SleepInhibitorJobs,
                         ::testing::Values(JobRow {"burn", SleepInhibitor::Job::Burn, "Burning a disc"},
                                           JobRow {"erase", SleepInhibitor::Job::Erase, "Erasing a disc"},
                                           JobRow {"stick", SleepInhibitor::Job::StickWrite, "USB stick"},
                                           JobRow {"image", SleepInhibitor::Job::ImageWrite, "ISO image"}),
                         [](const ::testing::TestParamInfo<JobRow> &row) {
                             return std::string(row.param.name);
                         });

using SleepInhibitorTest = DesktopFixture;

TEST_F(SleepInhibitorTest, AJobThatEndsBeforeLogindAnswersLeavesNoLockBehind)
{
    auto logind = startLogind();
    ASSERT_TRUE(logind->up());
    {
        SleepInhibitor cancelledAtOnce(SleepInhibitor::Job::Burn);
    }
    // logind answers in order: once the next job's lock is held, the first one's answer has come, and
    // it must have been let go of.
    SleepInhibitor next(SleepInhibitor::Job::Erase);
    Settled settled(next);
    ASSERT_TRUE(settled.wait());
    ASSERT_EQ(next.hold(), SleepInhibitor::Hold::Logind);
    EXPECT_TRUE(TestSupport::waitFor([&] { return logindInhibitors(*logind).size() == 1; }, 10000));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 300);
    const QList<Inhibitor> held = logindInhibitors(*logind);
    ASSERT_EQ(held.size(), 1);
    EXPECT_EQ(held[0].why, SleepInhibitor::reasonFor(SleepInhibitor::Job::Erase));
}

struct FallbackRow
{
    const char *name;
    // Whether a logind runs that refuses every lock (as one whose policy denies us would).
    bool refusingLogind;
};

class SleepInhibitorPortal : public DesktopFixture, public ::testing::WithParamInterface<FallbackRow>
{
};

TEST_P(SleepInhibitorPortal, ThePortalHoldsTheLockUntilTheJobEnds)
{
    std::unique_ptr<MockService> logind;
    if (GetParam().refusingLogind) {
        logind = std::make_unique<MockService>(
            QDBusConnection::systemBus(), Logind,
            QStringList {QStringLiteral("--system"), Logind, QStringLiteral("/org/freedesktop/login1"),
                         QStringLiteral("org.freedesktop.login1.Manager")});
        ASSERT_TRUE(logind->up());
        logind->call(QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.DBus.Mock"),
                     QStringLiteral("AddMethod"),
                     {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"),
                      QStringLiteral("ssss"), QStringLiteral("h"),
                      QStringLiteral("raise dbus.exceptions.DBusException('Permission denied', "
                                     "name='org.freedesktop.DBus.Error.AccessDenied')")});
    }
    auto portal = startPortal();
    ASSERT_TRUE(portal->up());
    auto inhibitor = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::StickWrite);
    Settled settled(*inhibitor);
    ASSERT_TRUE(settled.wait());
    EXPECT_EQ(inhibitor->hold(), SleepInhibitor::Hold::Portal);
    if (logind) {
        EXPECT_TRUE(logind->calls().value(0).startsWith(QLatin1String("Inhibit \"sleep:idle\"")));
    }
    const QString reason = SleepInhibitor::reasonFor(SleepInhibitor::Job::StickWrite);
    EXPECT_EQ(portal->calls(),
              QStringList {QStringLiteral("Inhibit \"\" 12 {\"reason\": \"%1\"}").arg(reason)});

    inhibitor.reset();
    EXPECT_TRUE(TestSupport::waitFor([&] { return portal->calls().size() == 2; }, 10000));
    EXPECT_EQ(portal->calls().value(1), QStringLiteral("Close"));
}

INSTANTIATE_TEST_SUITE_P(Fallback, SleepInhibitorPortal,
                         ::testing::Values(FallbackRow {"no_logind", false},
                                           FallbackRow {"logind_refuses", true}),
                         [](const ::testing::TestParamInfo<FallbackRow> &row) {
                             return std::string(row.param.name);
                         });

TEST_F(SleepInhibitorTest, AJobThatEndsBeforeThePortalAnswersClosesItsRequest)
{
    auto portal = startPortal(1000);
    ASSERT_TRUE(portal->up());
    auto inhibitor = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::Erase);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !portal->calls().isEmpty(); }, 10000));
    // The job ends while the portal is still busy with the request.
    inhibitor.reset();
    EXPECT_TRUE(TestSupport::waitFor([&] { return portal->calls().size() == 2; }, 10000))
        << qPrintable(portal->calls().join(QLatin1Char('\n')));
    EXPECT_TRUE(portal->calls().value(0).startsWith(QLatin1String("Inhibit ")));
    EXPECT_EQ(portal->calls().value(1), QStringLiteral("Close"));
}

TEST_F(SleepInhibitorTest, WithNeitherServiceNothingIsHeldAndNothingWaits)
{
    QElapsedTimer clock;
    clock.start();
    auto inhibitor = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::ImageWrite);
    // A safety bound against a blocking call, not a speed goal.
    EXPECT_LT(clock.elapsed(), 1000);
    Settled settled(*inhibitor);
    ASSERT_TRUE(settled.wait());
    EXPECT_EQ(inhibitor->hold(), SleepInhibitor::Hold::None);
    EXPECT_EQ(settled.count, 1);
    inhibitor.reset();
}

struct NoticeRow
{
    const char *name;
    const char *title;
    const char *body;
};

class DesktopNotifierTexts : public DesktopFixture, public ::testing::WithParamInterface<NoticeRow>
{
};

TEST_P(DesktopNotifierTexts, SendsTheMessageBoxTextAsANotification)
{
    MockService daemon(
        QDBusConnection::sessionBus(), Notifications,
        {QStringLiteral("--session"), QStringLiteral("--template"), QStringLiteral("notification_daemon")});
    ASSERT_TRUE(daemon.up());
    const QString title = QString::fromUtf8(GetParam().title);
    const QString body = QString::fromUtf8(GetParam().body);
    DesktopNotifier::notify(title, body);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !daemon.calls().isEmpty(); }, 10000));
    EXPECT_EQ(
        daemon.calls(),
        QStringList {
            QStringLiteral("Notify \"Kestrane\" 0 \"kestrane\" \"%1\" \"%2\" [] {} -1").arg(title, body)});
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DesktopNotifierTexts,
    ::testing::Values(NoticeRow {"plain", "Kestrane", "Writing is complete!"},
                      NoticeRow {"two_lines_and_a_path", "Kestrane",
                                 "The image could not be written.\n/home/ann/Disc 1 (copy).iso"},
                      NoticeRow {"not_latin", "Kestrane", "Запись завершена — 完了"},
                      NoticeRow {"empty_body", "Kestrane", ""}),
    [](const ::testing::TestParamInfo<NoticeRow> &row) { return std::string(row.param.name); });

TEST_F(DesktopFixture, WithoutANotificationServiceNothingWaits)
{
    QElapsedTimer clock;
    clock.start();
    DesktopNotifier::notify(QStringLiteral("Kestrane"), QStringLiteral("Writing is complete!"));
    // A safety bound against a blocking call, not a speed goal.
    EXPECT_LT(clock.elapsed(), 1000);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
}

// Run by the ctest entry core_desktop_tests_no_bus with both bus addresses pointing nowhere, as on a
// machine without D-Bus: nothing is held, nothing is shown, and neither waits.
TEST(NoBus, NeitherTheLockNorTheNotificationWaits)
{
    if (qEnvironmentVariableIsEmpty("KESTRANE_TEST_NO_BUS"))
        GTEST_SKIP() << "runs under core_desktop_tests_no_bus";
    QElapsedTimer clock;
    clock.start();
    auto inhibitor = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::Burn);
    DesktopNotifier::notify(QStringLiteral("Kestrane"), QStringLiteral("Writing is complete!"));
    // A safety bound against a blocking call, not a speed goal.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(TestSupport::waitFor([&] { return inhibitor->hold() == SleepInhibitor::Hold::None; }, 10000));
    inhibitor.reset();
}

} // namespace
