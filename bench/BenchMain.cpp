#include "BenchCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString name = args.value(0);
    for (const Bench::Command &command : Bench::commands()) {
        if (command.name == name)
            return command.runner(args.mid(1));
    }
    std::fprintf(stderr, "usage: kestrane-bench COMMAND ARGS\n");
    for (const Bench::Command &command : Bench::commands())
        std::fprintf(stderr, "  kestrane-bench %s\n", qPrintable(command.usage));
    return 2;
}
