#include "CliRunner.h"

#include <QProcess>

namespace CliRunner {

namespace {

QStringList lines(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

QStringList Result::errLines() const
{
    return lines(err);
}

QStringList Result::outLines() const
{
    return lines(out);
}

QString program()
{
    return QStringLiteral(KESTRANE_PROGRAM_DIR "/kestrane-cli");
}

QProcessEnvironment environment(const QString &virtualDrives)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // It needs no display: nothing of the window's platform reaches it.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (virtualDrives.isEmpty())
        env.remove(QStringLiteral("KESTRANE_VIRTUAL_DRIVES"));
    else
        env.insert(QStringLiteral("KESTRANE_VIRTUAL_DRIVES"), virtualDrives);
    return env;
}

Result run(const QStringList &args, const QString &virtualDrives, int timeoutMs)
{
    Result result;
    QProcess process;
    process.setProcessEnvironment(environment(virtualDrives));
    process.start(program(), args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

} // namespace CliRunner
