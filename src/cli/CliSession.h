#pragma once

#include "cli/CliArguments.h"

#include <QString>

class TDVDWriterPro2;

// What every command shares: its parsed command line, how it ends, and the drives.
namespace Cli {

enum ExitStatus : int {
    Success = 0,
    Failure = 1,
    BadUsage = 2,
    Damaged = 3, // a verification found damage
    NothingToVerify = 4, // the image records no checksums
};

struct Invocation
{
    const CliArguments::Parsed &args;
    bool quiet() const { return args.quiet; }
    bool flag(const char *name) const { return args.flags.contains(QLatin1String(name)); }
    QString value(const char *name) const { return args.values.value(QLatin1String(name)); }
    bool has(const char *name) const { return args.values.contains(QLatin1String(name)); }
};

// One line on standard error; the result is the status to exit with.
int fail(const QString &message, int status = Failure);
int usageError(const QString &command, const QString &message);
// One line on standard error that tells of something done differently; the command goes on.
void warn(const QString &message);
// One line on standard output.
void say(const QString &text);

// "D" or "D:" (any case) → "D"; empty when the text is not a drive letter.
QString driveLetterOf(const QString &text);

// The machine's drives and the virtual ones, scanned once; false when the drive library cannot start.
bool initializeDrives(TDVDWriterPro2 &engine);
// The index of the drive with that letter, or -1.
int driveIndex(TDVDWriterPro2 &engine, const QString &letter);

} // namespace Cli
