#include "cli/CliArguments.h"

namespace CliArguments {

namespace {

const Option QuietOption {
    QStringLiteral("quiet"), false, QStringLiteral("no progress on standard error"), {}};

std::vector<Command> makeCommands()
{
    const Option label {QStringLiteral("label"), true,
                        QStringLiteral("the volume label (default \"New Disc\")"), QStringLiteral("L")};
    const Option list {QStringLiteral("list"), true,
                       QStringLiteral("add the files of a list file, exactly as Load List does"),
                       QStringLiteral("FILE.mst")};
    const Option checksums {QStringLiteral("checksums"),
                            false,
                            QStringLiteral("record MD5s of the session and of every file in the image"),
                            {}};
    const Option drive {QStringLiteral("drive"), true,
                        QStringLiteral("the drive letter (default: the first writer)"), QStringLiteral("D")};
    return {
        {QStringLiteral("drives"),
         {},
         QStringLiteral("list the drives"),
         QStringLiteral("One line per drive: its letter, vendor and product, the disc in it and its free "
                        "space.\nVirtual drives come from KESTRANE_VIRTUAL_DRIVES, as in the window."),
         0,
         0,
         {QuietOption}},
        {QStringLiteral("make-iso"),
         QStringLiteral("OUT.iso SOURCE..."),
         QStringLiteral("make an image file from files and folders"),
         QStringLiteral(
             "Each SOURCE file or folder becomes an entry of the image's root; a folder keeps its "
             "name.\nThe size is checked before writing; OUT.iso appears only once it is complete."),
         1,
         -1,
         {label, list, checksums, QuietOption}},
        {QStringLiteral("copy-disc"),
         QStringLiteral("DRIVE OUT.iso"),
         QStringLiteral("make an image file from the whole disc in a drive"),
         QStringLiteral(
             "DRIVE is a letter such as D or D:. The disc's files are read into a new image, which keeps\n"
             "a bootable disc's El Torito boot records and, as far as it can be laid out again, its MBR.\n"
             "With --raw the disc's data area (block 0 to the end of its last data track) is copied\n"
             "byte for byte instead, the copy to check against a published checksum.\n"
             "OUT.iso appears only once it is complete; Ctrl+C leaves nothing under its name."),
         2,
         2,
         {checksums,
          {QStringLiteral("raw"),
           false,
           QStringLiteral("copy the disc's blocks as they are, not its files"),
           {}},
          QuietOption}},
        {QStringLiteral("burn"),
         QStringLiteral("IMAGE.iso"),
         QStringLiteral("burn an image file to a disc"),
         QStringLiteral(
             "The disc must have room for the image. Ctrl+C cancels the burn.\nA USB stick or SD card "
             "(listed by drives after the disc drives), or a rewritable disc that\nholds data, is written "
             "only after a question on the terminal, or with --yes."),
         1,
         1,
         {drive,
          {QStringLiteral("speed"), true,
           QStringLiteral("write speed as a multiple of the base speed (default: the highest)"),
           QStringLiteral("X")},
          {QStringLiteral("verify"),
           false,
           QStringLiteral("read the burn back and compare it with the image"),
           {}},
          {QStringLiteral("yes"),
           false,
           QStringLiteral("write to a USB stick or SD card, or over a disc's data, without asking first"),
           {}},
          QuietOption}},
        {QStringLiteral("erase"),
         {},
         QStringLiteral("erase a rewritable disc"),
         QStringLiteral("A quick erase unless --full. An erase cannot be cancelled once it runs.\nA disc "
                        "that holds data is erased only after a question on the terminal, or with\n--yes."),
         0,
         0,
         {drive,
          {QStringLiteral("full"),
           false,
           QStringLiteral("erase the whole disc, not only its table of contents"),
           {}},
          {QStringLiteral("yes"),
           false,
           QStringLiteral("erase a disc that holds data without asking first"),
           {}},
          QuietOption}},
        {QStringLiteral("verify"),
         QStringLiteral("IMAGE.iso|DRIVE"),
         QStringLiteral("check an image file or a disc"),
         QStringLiteral(
             "Checks an image file or the disc in DRIVE against the checksums recorded in it (make-iso\n"
             "--checksums), or with --against the disc in DRIVE against an image file, byte for byte\n"
             "over exactly the image's length. Prints the number of files checked and every damaged\n"
             "file by its path.\n"
             "Exit status 3 when damage is found, 4 when the image records no checksums."),
         1,
         1,
         {{QStringLiteral("against"), true, QStringLiteral("compare the disc in DRIVE with this image file"),
           QStringLiteral("IMAGE.iso")},
          QuietOption}},
        {QStringLiteral("size"),
         QStringLiteral("[SOURCE...]"),
         QStringLiteral("the exact size of the image make-iso would write"),
         QStringLiteral("Prints the size in bytes and in 2048-byte blocks."),
         0,
         -1,
         {list, checksums, label, QuietOption}},
    };
}

} // namespace

const std::vector<Command> &commands()
{
    static const std::vector<Command> table = makeCommands();
    return table;
}

const Command *findCommand(const QString &name)
{
    for (const Command &command : commands()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

Parsed parse(const QStringList &args)
{
    Parsed parsed;
    bool optionsEnded = false;
    auto usage = [&parsed](const QString &text) {
        if (parsed.usageError.isEmpty())
            parsed.usageError = text;
        return parsed;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith(QLatin1String("--"))) {
            QString name = arg.mid(2);
            QString value;
            const qsizetype equals = name.indexOf(QLatin1Char('='));
            const bool hasValue = equals >= 0;
            if (hasValue) {
                value = name.mid(equals + 1);
                name.truncate(equals);
            }
            if (name == QLatin1String("help") || name == QLatin1String("version") ||
                name == QLatin1String("quiet")) {
                if (hasValue)
                    return usage(QStringLiteral("--%1 takes no value").arg(name));
                parsed.help |= name == QLatin1String("help");
                parsed.version |= name == QLatin1String("version");
                parsed.quiet |= name == QLatin1String("quiet");
                continue;
            }
            if (!parsed.command)
                return usage(QStringLiteral("unknown option --%1").arg(name));
            const Option *option = nullptr;
            for (const Option &o : parsed.command->options) {
                if (o.name == name)
                    option = &o;
            }
            if (!option)
                return usage(QStringLiteral("%1: unknown option --%2").arg(parsed.command->name, name));
            if (option->takesValue) {
                if (!hasValue) {
                    if (i + 1 >= args.size())
                        return usage(
                            QStringLiteral("%1: --%2 needs a value").arg(parsed.command->name, name));
                    value = args.at(++i);
                }
                if (parsed.values.contains(name))
                    return usage(QStringLiteral("%1: --%2 is given twice").arg(parsed.command->name, name));
                parsed.values.insert(name, value);
            } else {
                if (hasValue)
                    return usage(QStringLiteral("%1: --%2 takes no value").arg(parsed.command->name, name));
                parsed.flags.insert(name);
            }
            continue;
        }
        if (!parsed.command) {
            parsed.command = findCommand(arg);
            if (!parsed.command)
                return usage(QStringLiteral("unknown command \"%1\"").arg(arg));
            continue;
        }
        parsed.arguments << arg;
    }
    if (parsed.help || parsed.version || !parsed.command)
        return parsed;
    const Command &c = *parsed.command;
    if (parsed.arguments.size() < c.minArguments)
        return usage(QStringLiteral("%1: missing %2")
                         .arg(c.name,
                              c.synopsis.section(QLatin1Char(' '), int(parsed.arguments.size()),
                                                 int(parsed.arguments.size()))));
    if (c.maxArguments >= 0 && parsed.arguments.size() > c.maxArguments)
        return usage(QStringLiteral("%1: unexpected argument \"%2\"")
                         .arg(c.name, parsed.arguments.at(c.maxArguments)));
    return parsed;
}

} // namespace CliArguments
