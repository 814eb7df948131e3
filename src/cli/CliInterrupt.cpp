#include "cli/CliInterrupt.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace {

std::mutex handlerMutex;
std::function<void()> currentHandler;
std::atomic<bool> wasInterrupted {false};
std::atomic<int> firstSignal {0};

sigset_t watchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void dieBy(int signal)
{
    // As if the signal had never been caught: the shell sees the process ended by it.
    std::signal(signal, SIG_DFL);
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace

void CliInterrupt::install()
{
    const sigset_t set = watchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0)
                continue;
            int none = 0;
            firstSignal.compare_exchange_strong(none, signal);
            wasInterrupted = true;
            std::lock_guard lock(handlerMutex);
            if (!currentHandler)
                dieBy(signal);
            currentHandler();
        }
    }).detach();
}

void CliInterrupt::setHandler(std::function<void()> handler)
{
    std::lock_guard lock(handlerMutex);
    currentHandler = std::move(handler);
}

void CliInterrupt::clearHandler()
{
    std::lock_guard lock(handlerMutex);
    currentHandler = nullptr;
}

bool CliInterrupt::interrupted()
{
    return wasInterrupted.load();
}

int CliInterrupt::cancelledStatus()
{
    const int signal = firstSignal.load();
    return signal ? 128 + signal : 1;
}
