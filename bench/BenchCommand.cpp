#include "BenchCommand.h"

#include <QFile>

#include <cstdio>

namespace {
QList<Bench::Command> &registry()
{
    static QList<Bench::Command> list;
    return list;
}
} // namespace

Bench::Registrar::Registrar(const char *name, const char *usage, Runner runner)
{
    registry().append({QString::fromLatin1(name), QString::fromLatin1(usage), std::move(runner)});
}

const QList<Bench::Command> &Bench::commands()
{
    return registry();
}

double Bench::seconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e9;
}

qint64 Bench::residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

QString Bench::takeOption(QStringList &args, const QString &name)
{
    const qsizetype at = args.indexOf(QLatin1String("--") + name);
    if (at < 0 || at + 1 >= args.size())
        return {};
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

void Bench::printFigure(const QString &name, double value, const QString &unit)
{
    std::printf("%s %.6g %s\n", qPrintable(name), value, qPrintable(unit));
    std::fflush(stdout);
}
