#include "base/StdErr.h"
#include "cli/CliInterrupt.h"
#include "cli/CliProgress.h"
#include "cli/CliSleepLock.h"
#include "cli/Commands.h"
#include "cli/DriveWords.h"

#include "core/BurnProgress.h"
#include "core/EraseTable.h"
#include "core/WriteErrors.h"
#include "engine/DiscContents.h"
#include "engine/EngineCodes.h"
#include "engine/StickInfo.h"
#include "engine/TDVDWriterPro2.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>

#include <unistd.h>

namespace Cli {

namespace {

constexpr int64_t BlockBytes = 2048;

// What the command line knows of the drive at `index`, which must be the current drive.
DriveFacts factsOf(TDVDWriterPro2 &engine, int index)
{
    DriveFacts facts;
    facts.letter = engine.DriveLetter(index);
    facts.name = engine.DriveVendor(index) + QLatin1Char(' ') + engine.DriveProduct(index);
    facts.writer = engine.IsWriter(index);
    facts.stick = engine.StickDetails(index).has_value();
    facts.discType = engine.DiscType();
    facts.medium = engine.CurrentMedium();
    if (facts.writer && facts.discType != EngineCodes::NoWritableMedium)
        facts.freeBytes = engine.FreeBlocks() * BlockBytes;
    return facts;
}

// The window's free-space message, with the same figures.
QString freeSpaceMessage(qint64 freeBytes, qint64 imageBytes)
{
    const QLocale locale;
    auto megabytes = [&locale](qint64 bytes) {
        return locale.toString(bytes / 1048576.0, 'f', 2);
    };
    return QStringLiteral("Free Space on the loaded disc is ") + megabytes(freeBytes) +
        QStringLiteral(" MB!") + QLatin1Char('\r') + QStringLiteral("This data image requires ") +
        megabytes(imageBytes) + QStringLiteral(" MB of Free Space!");
}

// The drive a burn or an erase acts on: --drive, or the first writer. Selected on `engine`; a status
// to exit with when there is none. The one place that decides the target, so that a question before
// writing to it (and a switch to skip it) would go here.
std::optional<int> selectWriter(const Invocation &invocation, TDVDWriterPro2 &engine, const QString &command)
{
    if (!initializeDrives(engine))
        return fail(QStringLiteral("Drives Cannot be initialized...Contact support!"));
    int index = -1;
    if (invocation.has("drive")) {
        const QString letter = driveLetterOf(invocation.value("drive"));
        if (letter.isEmpty())
            return usageError(
                command,
                QStringLiteral("%1: \"%2\" is not a drive letter").arg(command, invocation.value("drive")));
        index = driveIndex(engine, letter);
        if (index < 0)
            return fail(QStringLiteral("There is no drive %1:").arg(letter));
    } else {
        for (int i = 0; i < engine.DriveCount() && index < 0; ++i) {
            if (engine.IsWriter(i))
                index = i;
        }
        if (index < 0 && engine.DriveCount() > 0)
            return fail(
                QStringLiteral("No drive here can write discs (kestrane-cli drives tells what each is)."));
        if (index < 0)
            return fail(QStringLiteral("Please choose the CD/DVD-R driver."));
    }
    if (!engine.SelectDrive(index))
        return fail(QStringLiteral("Select a different drive...could not open selected drive!"));
    return std::nullopt;
}

// The window's question on the terminal, No unless answered y or yes; --yes answers it beforehand.
// A status to exit with, the reason said, unless the answer is Yes; without a terminal and without
// --yes the answer is No, for the reason `noTerminal`.
std::optional<int> askOnTerminal(const Invocation &invocation, const QString &question,
                                 const QString &noTerminal, const QString &refused)
{
    if (invocation.flag("yes"))
        return std::nullopt;
    if (!isatty(STDIN_FILENO))
        return fail(noTerminal);
    StdErr::write(question + QStringLiteral(" [y/N] "));
    char answer[16] = {};
    const QString reply = std::fgets(answer, sizeof answer, stdin)
        ? QString::fromLocal8Bit(answer).trimmed().toLower()
        : QString();
    if (reply == QLatin1String("y") || reply == QLatin1String("yes"))
        return std::nullopt;
    return fail(refused);
}

// A USB stick or SD card is only written after the same question the window asks, answered on the
// terminal, or after --yes; a status to exit with when it is not to be written.
std::optional<int> confirmStick(const Invocation &invocation, TDVDWriterPro2 &engine)
{
    const int drive = engine.CurrentDrive();
    const std::optional<StickInfo> stick = engine.StickDetails(drive);
    if (!stick)
        return std::nullopt;
    const QString refused = QStringLiteral("Nothing was written to %1.").arg(stick->device);
    if (const std::optional<int> status = askOnTerminal(
            invocation, StickQuestionText(*stick),
            QStringLiteral("%1 is a USB stick or SD card and would be overwritten: answer the question on a "
                           "terminal, or give --yes.")
                .arg(stick->device),
            refused))
        return status;
    if (!engine.ConfirmStickWrite(drive))
        return fail(refused);
    return std::nullopt;
}

// A disc that holds data is only written over or erased after the window's question, answered on
// the terminal, or after --yes; a status to exit with when it is to be left as it is.
std::optional<int> confirmDiscData(const Invocation &invocation, TDVDWriterPro2 &engine, bool erase)
{
    const std::optional<DiscContents> disc = engine.DataOnDisc();
    if (!disc)
        return std::nullopt;
    return askOnTerminal(
        invocation, erase ? EraseDiscQuestionText(*disc) : OverwriteDiscQuestionText(*disc),
        QStringLiteral(
            "The disc in %1 holds data and would be %2: answer the question on a terminal, or give "
            "--yes.")
            .arg(disc->device, erase ? QStringLiteral("erased") : QStringLiteral("overwritten")),
        erase ? QStringLiteral("Nothing was erased on %1.").arg(disc->device)
              : QStringLiteral("Nothing was written to %1.").arg(disc->device));
}

} // namespace

int runDrives(const Invocation &)
{
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    if (!initializeDrives(engine))
        return fail(QStringLiteral("Drives Cannot be initialized...Contact support!"));
    for (int i = 0; i < engine.DriveCount(); ++i) {
        // The window's drive list entry, then what the drive is and holds.
        const QString entry = engine.DriveLetter(i) + QLatin1Char(':') + engine.DriveVendor(i) +
            QLatin1Char(' ') + engine.DriveProduct(i);
        if (!engine.SelectDrive(i)) {
            say(entry + QStringLiteral(", cannot be opened"));
            continue;
        }
        say(entry + QStringLiteral(", ") + driveStateWords(factsOf(engine, i)));
    }
    return Success;
}

int runBurn(const Invocation &invocation)
{
    const QString isoPath = invocation.args.arguments.first();
    int speed = 0;
    if (invocation.has("speed")) {
        bool ok = false;
        speed = invocation.value("speed").toInt(&ok);
        if (!ok || speed <= 0)
            return usageError(QStringLiteral("burn"),
                              QStringLiteral("burn: --speed takes a whole number above 0, not \"%1\"")
                                  .arg(invocation.value("speed")));
    }
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    if (const std::optional<int> failed = selectWriter(invocation, engine, QStringLiteral("burn")))
        return *failed;
    if (speed > 0)
        engine.SetWriteSpeed(speed);
    // The window's message below covers every reason alike; here the reason is named.
    if (const QString refusal = writeRefusal(WriteJob::Burn, factsOf(engine, engine.CurrentDrive()));
        !refusal.isEmpty())
        return fail(refusal);
    if (engine.DiscType() == EngineCodes::NoWritableMedium)
        return fail(QStringLiteral("Please Insert Writable Media before continuing!"));
    const QFileInfo image(isoPath);
    const qint64 imageBytes = image.exists() ? image.size() : -1;
    const qint64 freeBytes = engine.FreeBlocks() * BlockBytes;
    if (freeBytes < imageBytes)
        return fail(freeSpaceMessage(freeBytes, imageBytes));
    if (const std::optional<int> refused = confirmStick(invocation, engine))
        return *refused;
    if (const std::optional<int> refused = confirmDiscData(invocation, engine, false))
        return *refused;
    const bool verify = invocation.flag("verify");
    engine.setAutoVerify(verify);
    engine.setCloseSession(true);
    engine.SetBurnFlag(true);

    QEventLoop loop;
    CliProgress progress(QStringLiteral("burn"), invocation.quiet());
    QObject::connect(&engine, &TDVDWriterPro2::OnTrackWriteStatus, &loop,
                     [&progress](int, qint64 written, qint64 total) { progress.update(written, total); });
    // The read-back has a bar of its own once it knows how much it reads.
    CliProgress readBackProgress(QStringLiteral("read back"), invocation.quiet());
    QObject::connect(&engine, &TDVDWriterPro2::OnBurnProgress, &loop,
                     [&](int stage, qint64 done, qint64 total) {
                         if (stage != EngineCodes::Verifying || total <= 0)
                             return;
                         progress.finish();
                         readBackProgress.update(done, total);
                     });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteComplete, &loop, [&] {
        progress.finish();
        readBackProgress.finish();
        say(QStringLiteral("Writing is complete!"));
        if (!verify) {
            loop.exit(Success);
            return;
        }
        const ReadBack readBack = engine.LastReadBack();
        const ReadBackVerdict verdict = ReadBackVerdictOf(readBack);
        if (verdict.intact) {
            say(verdict.text);
            loop.exit(Success);
        } else {
            // A read-back that could not compare is a failure; one that found damage says so in its status.
            loop.exit(fail(verdict.text, readBack.error.isEmpty() ? Damaged : Failure));
        }
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteCancelled, &loop, [&] {
        progress.finish();
        QString text = QStringLiteral("Writing Cancelled!");
        if (engine.StickLeftPartlyWritten(engine.CurrentDrive()))
            text += QLatin1Char(' ') + StickCancelledAdvice();
        // Cancelled by Ctrl+C or SIGTERM: the status says which, as for a process the signal ended.
        loop.exit(fail(text, CliInterrupt::cancelledStatus()));
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteError, &loop,
                     [&](int writeError, int driveError, const QString &errorInfo, const QString &senseInfo) {
                         progress.finish();
                         loop.exit(fail(ComposeWriteErrorText(writeError, driveError, errorInfo, senseInfo)));
                     });
    // Held until the command returns, however the burn ended; the answers come through the loop below.
    const CliSleepLock awake(engine.StickDetails(engine.CurrentDrive()) ? SleepInhibitor::Job::StickWrite
                                                                        : SleepInhibitor::Job::Burn);
    if (!engine.BurnImageFile(isoPath))
        return fail(QStringLiteral("Error Writing ISO File. %1").arg(engine.LastBurnRefusal()));
    // The engine's drive side lives on this thread: the cancel is asked for here, as the window's
    // Cancel does.
    CliInterrupt::setHandler([&engine] {
        QMetaObject::invokeMethod(
            &engine, [&engine] { engine.CancelWrite(); }, Qt::QueuedConnection);
    });
    const int status = loop.exec();
    CliInterrupt::clearHandler();
    return status;
}

int runErase(const Invocation &invocation)
{
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro1);
    if (const std::optional<int> failed = selectWriter(invocation, engine, QStringLiteral("erase")))
        return *failed;
    // The erase window's "No Media Loaded" stands for every disc it cannot erase; here the reason is named.
    if (const QString refusal = writeRefusal(WriteJob::Erase, factsOf(engine, engine.CurrentDrive()));
        !refusal.isEmpty())
        return fail(refusal);
    const EraseDecision decision = DecideErase(
        engine.DiscType(), [&engine](int capability) { return engine.HasCapability(capability); });
    if (!decision.erase)
        return fail(decision.message);
    if (const std::optional<int> refused = confirmDiscData(invocation, engine, true))
        return *refused;
    QEventLoop loop;
    const bool quiet = invocation.quiet();
    QObject::connect(&engine, &TDVDWriterPro2::OnEraseDiscStart, &loop, [quiet] {
        if (!quiet)
            StdErr::line(QStringLiteral("Erasing Disc...Please Wait!!"));
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnEraseDiscComplete, &loop, [&loop] {
        say(QStringLiteral("Erase operation complete!!!"));
        loop.exit(Success);
    });
    QObject::connect(&engine, &TDVDWriterPro2::OnWriteError, &loop,
                     [&](int writeError, int driveError, const QString &errorInfo, const QString &senseInfo) {
                         loop.exit(fail(ComposeWriteErrorText(writeError, driveError, errorInfo, senseInfo)));
                     });
    const CliSleepLock awake(SleepInhibitor::Job::Erase);
    if (!engine.EraseDisc(!invocation.flag("full")))
        return fail(QStringLiteral("Error Erasing Disc!!!"));
    // As in the window: once it runs, an erase cannot be cancelled; leaving now would leave the drive busy.
    CliInterrupt::setHandler([] {
        StdErr::line(QStringLiteral("kestrane-cli: the erase cannot be cancelled once it runs; it goes on."));
    });
    const int status = loop.exec();
    CliInterrupt::clearHandler();
    return status;
}

} // namespace Cli
