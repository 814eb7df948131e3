#pragma once

#include "core/SleepInhibitor.h"

#include <memory>

namespace Cli {

// The lock against sleep for one write of a command, held while the object lives. The services are
// asked without waiting; their answers come when the thread's loop turns (a burn's or an erase's loop),
// and a write that runs without turning it (an image write) is still held by logind, which takes the
// lock when the request reaches it; the portal, asked only once logind's refusal has been read, is not
// reached before such a write ends. At the end, the answers still on their way are waited for, a second
// at most, so that none arrives while the process is ending; then the lock is let go.
class CliSleepLock final
{
public:
    explicit CliSleepLock(SleepInhibitor::Job job);
    ~CliSleepLock();
    CliSleepLock(const CliSleepLock &) = delete;
    CliSleepLock &operator=(const CliSleepLock &) = delete;

private:
    std::unique_ptr<SleepInhibitor> m_lock;
};

} // namespace Cli
