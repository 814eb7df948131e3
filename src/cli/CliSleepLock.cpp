#include "cli/CliSleepLock.h"

#include <QCoreApplication>
#include <QMessageLogContext>

#include <cstdio>

namespace Cli {

namespace {

QtMessageHandler g_previousHandler = nullptr;

// QtDBus's thread may still take the bus's last signals while the process's statics are torn down at
// exit, and Qt then warns about types it has already forgotten. Nothing is lost; the lines would only
// confuse a script that reads standard error, so they are left out.
void dropShutdownNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("Trying to construct an instance of an invalid type")))
        return;
    if (g_previousHandler) {
        g_previousHandler(type, context, message);
        return;
    }
    std::fputs(qPrintable(qFormatLogMessage(type, context, message) + QLatin1Char('\n')), stderr);
}

} // namespace

CliSleepLock::CliSleepLock(SleepInhibitor::Job job)
    : m_lock(std::make_unique<SleepInhibitor>(job))
{ }

CliSleepLock::~CliSleepLock()
{
    m_lock.reset();
    QCoreApplication::processEvents();
    static const bool quiet = [] {
        g_previousHandler = qInstallMessageHandler(dropShutdownNoise);
        return true;
    }();
    Q_UNUSED(quiet);
}

} // namespace Cli
