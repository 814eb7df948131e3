#include "cli/CliInterrupt.h"
#include "cli/CliProgress.h"
#include "cli/Commands.h"

#include "engine/TDVDWriterPro2.h"

#include <QFileInfo>

namespace Cli {

int runVerify(const Invocation &invocation)
{
    const QString target = invocation.args.arguments.first();
    // A letter names a drive unless a file of that name lies here.
    const QString letter = QFileInfo::exists(target) ? QString() : driveLetterOf(target);
    const bool against = invocation.has("against");
    if (against && letter.isEmpty())
        return usageError(
            QStringLiteral("verify"),
            QStringLiteral("verify: --against compares a drive with an image; \"%1\" is not a drive letter")
                .arg(target));
    TDVDWriterPro2 engine(TDVDWriterPro2::Instance::DVDWriterPro);
    if (!letter.isEmpty()) {
        if (!initializeDrives(engine))
            return fail(QStringLiteral("Drives Cannot be initialized...Contact support!"));
        if (driveIndex(engine, letter) < 0)
            return fail(QStringLiteral("There is no drive %1:").arg(letter));
    } else if (!QFileInfo(target).isFile()) {
        return fail(QStringLiteral("%1: no such image file").arg(target));
    }
    const QString imagePath = invocation.value("against");
    if (against && !QFileInfo(imagePath).isFile())
        return fail(QStringLiteral("%1: no such image file").arg(imagePath));

    CliProgress progress(QStringLiteral("verify"), invocation.quiet());
    QObject::connect(
        &engine, &TDVDWriterPro2::OnImageCheckProgress, &engine,
        [&progress](qint64 done, qint64 total) { progress.update(done, total); }, Qt::DirectConnection);
    CliInterrupt::setHandler([&engine] { engine.CancelImageCheck(); });
    const ImageCheck check = against
        ? engine.CompareDiscWithImage(letter, imagePath)
        : engine.VerifyImageChecksums(letter.isEmpty() ? target : letter + QLatin1Char(':'));
    CliInterrupt::clearHandler();
    progress.finish();

    switch (check.outcome) {
    case ImageCheck::Outcome::Failed:
        // The engine names the device or the virtual drive's file; the user named the drive.
        return fail(letter.isEmpty() ? check.error : QStringLiteral("Drive %1: %2").arg(letter, check.error));
    case ImageCheck::Outcome::Cancelled:
        return fail(QStringLiteral("The check was cancelled."), CliInterrupt::cancelledStatus());
    case ImageCheck::Outcome::NoChecksums:
        return fail(QStringLiteral("%1 records no checksums: make images with --checksums, or check a disc "
                                   "against its image file with --against.")
                        .arg(letter.isEmpty() ? target : letter + QLatin1Char(':')),
                    NothingToVerify);
    case ImageCheck::Outcome::Intact:
        say(QStringLiteral("%1 files checked, none damaged.").arg(check.filesChecked));
        return Success;
    case ImageCheck::Outcome::Damaged:
        break;
    }
    for (const QString &path : check.damaged)
        say(QStringLiteral("damaged: %1").arg(path));
    for (const QString &area : check.damagedAreas)
        say(QStringLiteral("damaged: %1").arg(area));
    for (const ImageCheck::Unchecked &file : check.unchecked)
        say(QStringLiteral("not checked: %1 (%2)").arg(file.path, file.why));
    // Only files count as files: an area outside them is said apart, and so are the files not compared.
    QString summary =
        QStringLiteral("%1 files checked, %2 damaged")
            .arg(check.filesChecked)
            .arg(check.damaged.isEmpty() ? QStringLiteral("none") : QString::number(check.damaged.size()));
    if (!check.unchecked.empty())
        summary += QStringLiteral(", %1 not checked").arg(check.unchecked.size());
    if (!check.damagedAreas.isEmpty())
        summary += QStringLiteral(", and damage outside the files");
    say(summary + QLatin1Char('.'));
    return Damaged;
}

} // namespace Cli
