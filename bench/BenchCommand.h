#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The subcommands of kestrane-bench. Each registers itself from its own file with one line:
//   KESTRANE_BENCH_COMMAND(size, "size TREE", runSize);
// where runSize takes the arguments after the subcommand's name and answers the exit code.
namespace Bench {

using Runner = std::function<int(const QStringList &args)>;

struct Registrar
{
    Registrar(const char *name, const char *usage, Runner runner);
};

struct Command
{
    QString name;
    QString usage;
    Runner runner;
};
const QList<Command> &commands();

// Shared helpers for the figures.
double seconds(qint64 nanoseconds);
qint64 residentBytes(); // VmRSS of this process
QString takeOption(QStringList &args, const QString &name); // removes "--name value"; empty if absent
void printFigure(const QString &name, double value, const QString &unit);

} // namespace Bench

#define KESTRANE_BENCH_COMMAND(name, usage, runner)                                                          \
    static const Bench::Registrar kestraneBenchRegistrar_##name(#name, usage, runner)
