// kestrane-cli holds the same lock against sleep as the window while it writes, on python3-dbusmock's
// logind on a private system bus.
#include "CliRunner.h"
#include "DesktopBus.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace ImageTest;

namespace {

// Every kestrane-cli this program starts inherits the buses: it never reaches the machine's own logind.
[[maybe_unused]] ::testing::Environment *const ownBuses =
    ::testing::AddGlobalTestEnvironment(new DesktopBus::OwnBuses);

// A sparse file of `bytes`: it costs no disk, yet reading and writing it take their time.
void makeSparse(const QString &path, qint64 bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(bytes));
}

struct LockRow
{
    const char *name;
    const char *command; // "burn" or "make-iso"
    bool interrupt; // Ctrl+C once the lock has been looked at, else the command runs to its end
    const char *reasonStart;
};

class CliSleepLock : public ::testing::TestWithParam<LockRow>
{
};

TEST_P(CliSleepLock, HeldWhileTheCommandWritesAndGoneAfterIt)
{
    if (!DesktopBus::PrivateBuses::instance().running())
        GTEST_SKIP() << qPrintable(DesktopBus::PrivateBuses::instance().error());
    const LockRow &row = GetParam();
    const auto logind = DesktopBus::startLogind();
    ASSERT_TRUE(logind->up());

    QTemporaryDir work;
    QStringList args {QString::fromUtf8(row.command)};
    QString drives;
    if (args[0] == QLatin1String("burn")) {
        const QString image = work.filePath(QStringLiteral("big.iso"));
        makeSparse(image, qint64(1) << 30);
        args << image << QStringLiteral("--yes");
        drives = work.filePath(QStringLiteral("disc.img")) + QStringLiteral("=2G");
    } else {
        makeDirs(work.filePath(QStringLiteral("source")));
        makeSparse(work.filePath(QStringLiteral("source/big.bin")), qint64(2) << 30);
        args << work.filePath(QStringLiteral("out.iso")) << work.filePath(QStringLiteral("source"));
    }

    QProcess process;
    process.setProcessEnvironment(CliRunner::environment(drives));
    process.start(CliRunner::program(), args);
    const QRegularExpression progress(QStringLiteral("%1: [1-8]0%").arg(args[0]));
    QByteArray err;
    QDeadlineTimer deadline(120000);
    while (!progress.match(QString::fromUtf8(err)).hasMatch() && process.state() != QProcess::NotRunning &&
           !deadline.hasExpired()) {
        process.waitForReadyRead(100);
        err += process.readAllStandardError();
    }
    ASSERT_TRUE(progress.match(QString::fromUtf8(err)).hasMatch()) << err.toStdString();
    // Stopped mid-write, so that the write cannot end while logind is asked.
    ::kill(pid_t(process.processId()), SIGSTOP);
    const QList<DesktopBus::Inhibitor> held = DesktopBus::logindInhibitors(*logind);
    ::kill(pid_t(process.processId()), SIGCONT);
    if (row.interrupt)
        ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(120000));
    err += process.readAllStandardError();
    EXPECT_EQ(process.exitCode(), row.interrupt ? 130 : 0) << err.toStdString();
    // Scripts read standard error: the bus's own chatter has no place there.
    EXPECT_FALSE(err.contains("QDBus") || err.contains("invalid type")) << err.toStdString();

    ASSERT_EQ(held.size(), 1);
    EXPECT_EQ(held[0].what, QStringLiteral("sleep:idle"));
    EXPECT_EQ(held[0].who, QStringLiteral("Kestrane"));
    EXPECT_EQ(held[0].mode, QStringLiteral("block"));
    EXPECT_TRUE(held[0].why.startsWith(QLatin1String(row.reasonStart))) << held[0].why.toStdString();
    EXPECT_TRUE(TestSupport::waitFor([&] { return DesktopBus::logindInhibitors(*logind).isEmpty(); }, 10000));
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliSleepLock,
    ::testing::Values(LockRow {"burn_to_its_end", "burn", false, "Burning a disc"},
                      LockRow {"burn_interrupted", "burn", true, "Burning a disc"},
                      LockRow {"make_iso_interrupted", "make-iso", true, "Writing an ISO image"}),
    [](const ::testing::TestParamInfo<LockRow> &row) { return std::string(row.param.name); });

} // namespace
