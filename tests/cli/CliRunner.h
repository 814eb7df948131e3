#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs the built kestrane-cli as a script would: no display, the given virtual drives.
namespace CliRunner {

struct Result
{
    int exitCode = -1; // -1: it did not end in time, or ended by a signal
    QByteArray out;
    QByteArray err;
    QStringList errLines() const;
    QStringList outLines() const;
};

QString program();
QProcessEnvironment environment(const QString &virtualDrives = {});
Result run(const QStringList &args, const QString &virtualDrives = {}, int timeoutMs = 120000);

} // namespace CliRunner
