// What the desktop hears from a job: the lock that keeps the machine awake and the notification at the
// end. Every service is a python3-dbusmock stand-in on two private buses this program starts, so
// nothing reaches the machine's own logind, portal or notification service.
#include "DesktopBus.h"
#include "TestSupport.h"
#include "core/DesktopNotifier.h"
#include "core/SleepInhibitor.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString Logind = QStringLiteral("org.freedesktop.login1");
const QString Portal = QStringLiteral("org.freedesktop.portal.Desktop");

using DesktopBus::Inhibitor;
using DesktopBus::logindInhibitors;
using DesktopBus::MockService;
using DesktopBus::PrivateBuses;

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

class DesktopFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!PrivateBuses::instance().running())
            GTEST_SKIP() << qPrintable(PrivateBuses::instance().error());
    }

    static std::unique_ptr<MockService> startLogind() { return DesktopBus::startLogind(); }

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
    const std::unique_ptr<MockService> notifications = DesktopBus::startNotificationDaemon();
    const MockService &daemon = *notifications;
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
