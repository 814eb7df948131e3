#include "cli/CliSession.h"
#include "base/StdErr.h"

#include "engine/TDVDWriterPro2.h"

#include <cstdio>

namespace Cli {

int fail(const QString &message, int status)
{
    // One line, also where a window's message has a line break in it.
    QString line = message;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    StdErr::line(QStringLiteral("kestrane-cli: ") + line.simplified());
    return status;
}

int usageError(const QString &command, const QString &message)
{
    const QString help = command.isEmpty() ? QStringLiteral("kestrane-cli --help")
                                           : QStringLiteral("kestrane-cli %1 --help").arg(command);
    return fail(QStringLiteral("%1 (see %2)").arg(message, help), BadUsage);
}

void warn(const QString &message)
{
    fail(message);
}

void say(const QString &text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString driveLetterOf(const QString &text)
{
    const QString letter = text.endsWith(QLatin1Char(':')) ? text.chopped(1) : text;
    if (letter.size() != 1 || !letter.at(0).isLetter() || letter.at(0).unicode() > 127)
        return {};
    return letter.toUpper();
}

bool initializeDrives(TDVDWriterPro2 &engine)
{
    static bool done = false;
    static bool ok = false;
    if (!done) {
        done = true;
        ok = engine.InitializeDrives(0);
    }
    return ok;
}

int driveIndex(TDVDWriterPro2 &engine, const QString &letter)
{
    for (int i = 0; i < engine.DriveCount(); ++i) {
        if (engine.DriveLetter(i) == letter)
            return i;
    }
    return -1;
}

} // namespace Cli
