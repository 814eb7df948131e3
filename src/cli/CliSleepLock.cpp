#include "cli/CliSleepLock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace Cli {

namespace {

// How long the end of a command waits for the services' answers.
constexpr int AnswerWaitMs = 1000;

} // namespace

CliSleepLock::CliSleepLock(SleepInhibitor::Job job)
    : m_lock(std::make_unique<SleepInhibitor>(job))
{ }

CliSleepLock::~CliSleepLock()
{
    // An answer still on its way when the process ends would be read while Qt is being taken down, and
    // Qt complains of it on standard error: the end waits for the answers, a second at most.
    if (m_lock->hold() == SleepInhibitor::Hold::Asking) {
        QEventLoop loop;
        QObject::connect(m_lock.get(), &SleepInhibitor::settled, &loop, &QEventLoop::quit);
        QTimer::singleShot(AnswerWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_lock.reset();
    QCoreApplication::processEvents();
}

} // namespace Cli
