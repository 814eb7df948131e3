#include "cli/CliArguments.h"
#include "cli/CliHelp.h"
#include "cli/CliInterrupt.h"
#include "cli/Commands.h"

#include "base/ErrorText.h"
#include "engine/NativePath.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

// kestrane-cli: the engine of the window, driven from a command line; no display needed.
int main(int argc, char *argv[])
{
    CliInterrupt::install();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTRANE_VERSION));

    // Paths on a command line are bytes and need not be UTF-8: each argument is carried as it was
    // given, where QCoreApplication::arguments() would put U+FFFD for such a byte.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << NativePath::decode(QByteArray(argv[i]));
    const CliArguments::Parsed parsed = CliArguments::parse(arguments);
    const QString commandName = parsed.command ? parsed.command->name : QString();
    if (!parsed.usageError.isEmpty())
        return Cli::usageError(commandName, parsed.usageError);
    if (parsed.version) {
        std::fputs(qPrintable(CliHelp::versionText()), stdout);
        return Cli::Success;
    }
    if (parsed.help) {
        std::fputs(qPrintable(parsed.command ? CliHelp::commandHelp(*parsed.command) : CliHelp::toolHelp()),
                   stdout);
        return Cli::Success;
    }
    if (!parsed.command)
        return Cli::usageError(QString(), QStringLiteral("no command given"));

    using Run = int (*)(const Cli::Invocation &);
    static const std::pair<const char *, Run> table[] = {
        {"drives", Cli::runDrives},      {"make-iso", Cli::runMakeIso}, {"size", Cli::runSize},
        {"copy-disc", Cli::runCopyDisc}, {"burn", Cli::runBurn},        {"erase", Cli::runErase},
        {"verify", Cli::runVerify},
    };
    const Cli::Invocation invocation {parsed};
    try {
        for (const auto &[name, run] : table) {
            if (commandName == QLatin1String(name))
                return run(invocation);
        }
    } catch (const std::exception &error) {
        return Cli::fail(ErrorText(error));
    }
    return Cli::fail(QStringLiteral("%1 is not built in").arg(commandName));
}
