#include "cli/CliSleepLock.h"

#include <QCoreApplication>

namespace Cli {

CliSleepLock::CliSleepLock(SleepInhibitor::Job job)
    : m_lock(std::make_unique<SleepInhibitor>(job))
{ }

CliSleepLock::~CliSleepLock()
{
    m_lock.reset();
    QCoreApplication::processEvents();
}

} // namespace Cli
