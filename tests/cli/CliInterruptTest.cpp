#include "CliRunner.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <utility>

using namespace ImageTest;

namespace {

// Starts kestrane-cli, waits for a progress line on standard error, then sends `signal` (Ctrl+C by
// default). A pattern, since a fast step may pass a tenth without its own line.
CliRunner::Result interruptAt(const QStringList &args, const QRegularExpression &progressLine,
                              const QString &virtualDrives = {}, int signal = SIGINT)
{
    CliRunner::Result result;
    QProcess process;
    process.setProcessEnvironment(CliRunner::environment(virtualDrives));
    process.start(CliRunner::program(), args);
    QByteArray err;
    QDeadlineTimer deadline(120000);
    while (!progressLine.match(QString::fromUtf8(err)).hasMatch() &&
           process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process.waitForReadyRead(100);
        err += process.readAllStandardError();
    }
    if (!progressLine.match(QString::fromUtf8(err)).hasMatch()) {
        ADD_FAILURE() << "no " << progressLine.pattern().toStdString()
                      << " before the end: " << err.toStdString();
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    ::kill(pid_t(process.processId()), signal);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = err + process.readAllStandardError();
    return result;
}

struct InterruptRow
{
    const char *name;
    QStringList options;
    const char *progressLine;
    bool oldFileThere; // an earlier image of the same name must stay as it was
    int signal;
    int exitCode; // 128 + the signal, as the shell reports a process the signal ended
};

class CliInterrupt : public ::testing::TestWithParam<InterruptRow>
{
};

// 2 GB of source data in a sparse file: it costs no disk, yet the write takes its time.
TEST_P(CliInterrupt, CtrlCDuringMakeIsoLeavesNoFile)
{
    const InterruptRow &row = GetParam();
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("source"));
    makeDirs(source);
    QFile big(source + QStringLiteral("/big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(2) << 30));
    big.close();
    const QString out = work.filePath(QStringLiteral("out/image.iso"));
    makeDirs(work.filePath(QStringLiteral("out")));
    if (row.oldFileThere)
        TestSupport::writeAll(out, "the image of last week");

    const CliRunner::Result result =
        interruptAt(QStringList {QStringLiteral("make-iso"), out, source} + row.options,
                    QRegularExpression(QLatin1String(row.progressLine)), {}, row.signal);
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains("cancelled")) << result.err.toStdString();
    EXPECT_FALSE(result.out.contains("successfully"));
    const QStringList left = QDir(work.filePath(QStringLiteral("out")))
                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (row.oldFileThere) {
        EXPECT_EQ(left, QStringList {QStringLiteral("image.iso")});
        EXPECT_EQ(TestSupport::readAll(out), QByteArray("the image of last week"));
    } else {
        EXPECT_EQ(left, QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Writes, CliInterrupt,
    ::testing::Values(InterruptRow {"ctrl_c_as_soon_as_it_writes", {}, "make-iso: 0%", false, SIGINT, 130},
                      InterruptRow {"sigterm_with_checksums_at_ten_percent",
                                    {QStringLiteral("--checksums")},
                                    "make-iso: [1-8]0%",
                                    true,
                                    SIGTERM,
                                    143}),
    [](const auto &testInfo) { return std::string(testInfo.param.name); });

// A raw copy of a 2 GB disc stopped on its way: no file under the name, an earlier one kept as it was.
TEST(CliInterruptRawCopy, CtrlCLeavesNothingAndKeepsTheOldFile)
{
    QTemporaryDir work;
    const QString disc = work.filePath(QStringLiteral("disc.img"));
    QFile big(disc);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(2) << 30));
    big.close();
    makeDirs(work.filePath(QStringLiteral("out")));
    const QString kept = work.filePath(QStringLiteral("out/kept.iso"));
    TestSupport::writeAll(kept, "the copy of last week");

    for (const QString &name : {QStringLiteral("new.iso"), QStringLiteral("kept.iso")}) {
        const CliRunner::Result cancelled = interruptAt(
            {QStringLiteral("copy-disc"), QStringLiteral("D:"), work.filePath(QStringLiteral("out/") + name),
             QStringLiteral("--raw")},
            QRegularExpression(QStringLiteral("copy-disc: [1-8]0%")), disc + QStringLiteral("=4G"));
        EXPECT_EQ(cancelled.exitCode, 1) << cancelled.err.toStdString();
        EXPECT_TRUE(cancelled.err.contains("cancelled")) << cancelled.err.toStdString();
        EXPECT_FALSE(cancelled.out.contains("successfully"));
    }
    EXPECT_EQ(QDir(work.filePath(QStringLiteral("out")))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList {QStringLiteral("kept.iso")});
    EXPECT_EQ(TestSupport::readAll(kept), QByteArray("the copy of last week"));
}

TEST(CliInterruptBurn, CtrlCCancelsTheBurnAndLeavesTheDriveUsable)
{
    QTemporaryDir work;
    const QString image = work.filePath(QStringLiteral("big.iso"));
    QFile big(image);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(1) << 30));
    big.close();
    const QString drives = work.filePath(QStringLiteral("disc.img")) + QStringLiteral("=2G");

    for (const auto &[signal, status] : {std::pair(SIGINT, 130), std::pair(SIGTERM, 143)}) {
        SCOPED_TRACE(signal);
        const CliRunner::Result cancelled =
            interruptAt({QStringLiteral("burn"), image, QStringLiteral("--yes")},
                        QRegularExpression(QStringLiteral("burn: [1-8]0%")), drives, signal);
        EXPECT_EQ(cancelled.exitCode, status) << cancelled.err.toStdString();
        EXPECT_TRUE(cancelled.errLines().contains(QStringLiteral("kestrane-cli: Writing Cancelled!")))
            << cancelled.err.toStdString();
    }

    // The drive is free again: the next burn runs to its end (over what the cancelled one left).
    writeFile(work.filePath(QStringLiteral("small/a.txt")), "a");
    const QString small = work.filePath(QStringLiteral("small.iso"));
    ASSERT_EQ(
        CliRunner::run({QStringLiteral("make-iso"), small, work.filePath(QStringLiteral("small"))}).exitCode,
        0);
    const CliRunner::Result again = CliRunner::run(
        {QStringLiteral("burn"), small, QStringLiteral("--verify"), QStringLiteral("--yes")}, drives);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
}

} // namespace
