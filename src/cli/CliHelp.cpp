#include "cli/CliHelp.h"

#include <QCoreApplication>

namespace CliHelp {

QString toolHelp()
{
    QString text =
        QStringLiteral("Usage: kestrane-cli COMMAND [ARGUMENTS] [OPTIONS]\n\n"
                       "Makes, burns, erases and checks optical-disc images with Kestrane's engine, "
                       "without a window.\n\nCommands:\n");
    for (const CliArguments::Command &command : CliArguments::commands())
        text += QStringLiteral("  %1%2\n").arg(command.name.leftJustified(11), command.summary);
    text += QStringLiteral("\nOptions of every command:\n"
                           "  --help     this text, or the command's with a command\n"
                           "  --version  the version\n"
                           "  --quiet    no progress on standard error\n\n"
                           "Exit status: 0 success, 1 failure, 2 bad usage, 3 verification found damage,\n"
                           "4 nothing to verify (no checksums recorded), 130 cancelled by Ctrl+C (SIGINT),\n"
                           "143 cancelled by SIGTERM.\n"
                           "Virtual drives: KESTRANE_VIRTUAL_DRIVES=PATH[=SIZE]:... as for the window.\n");
    return text;
}

QString commandHelp(const CliArguments::Command &command)
{
    QString text = QStringLiteral("Usage: kestrane-cli %1").arg(command.name);
    if (!command.synopsis.isEmpty())
        text += QLatin1Char(' ') + command.synopsis;
    text += QStringLiteral(" [OPTIONS]\n\n%1\n\n").arg(command.details);
    text += QStringLiteral("Options:\n");
    for (const CliArguments::Option &option : command.options) {
        QString left = QStringLiteral("--") + option.name;
        if (option.takesValue)
            left += QLatin1Char(' ') + option.valueName;
        text += QStringLiteral("  %1%2\n").arg(left.leftJustified(20), option.help);
    }
    text += QStringLiteral("  %1%2\n")
                .arg(QStringLiteral("--help").leftJustified(20), QStringLiteral("this text"));
    return text;
}

QString versionText()
{
    return QStringLiteral("kestrane-cli %1\n").arg(QCoreApplication::applicationVersion());
}

} // namespace CliHelp
