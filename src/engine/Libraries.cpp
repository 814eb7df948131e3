#include <cstdint>
// libburn.h first: it puts its API in namespace burn, while libisofs.h declares a global burn_source.
#include <libburn/libburn.h>
#include <libisofs/libisofs.h>

#include "engine/Libraries.h"

#include <QHash>

#include <cstdlib>

namespace {

struct State
{
    std::mutex mutex;
    bool isoTried = false;
    bool isoOk = false;
    bool burnTried = false;
    bool burnOk = false;
    QHash<QChar, QString> letters;
    void (*beforeBurnFinish)() = nullptr;
};

State &state()
{
    static State s;
    return s;
}

void finishLibraries()
{
    State &s = state();
    if (s.burnOk) {
        if (s.beforeBurnFinish)
            s.beforeBurnFinish();
        burn::burn_finish();
    }
    if (s.isoOk)
        iso_finish();
}

void registerFinishOnce()
{
    static const bool registered = [] {
        std::atexit(finishLibraries);
        return true;
    }();
    (void)registered;
}

} // namespace

std::recursive_mutex &EngineLibraries::isoLock()
{
    static std::recursive_mutex lock;
    return lock;
}

bool EngineLibraries::ensureIsoInit()
{
    State &s = state();
    std::lock_guard guard(s.mutex);
    if (!s.isoTried) {
        s.isoTried = true;
        std::lock_guard iso(isoLock());
        s.isoOk = iso_init() >= 0;
        registerFinishOnce();
    }
    return s.isoOk;
}

bool EngineLibraries::ensureBurnInit()
{
    if (!ensureIsoInit())
        return false;
    State &s = state();
    std::lock_guard guard(s.mutex);
    if (!s.burnTried) {
        s.burnTried = true;
        s.burnOk = burn::burn_initialize() == 1;
        registerFinishOnce();
    }
    return s.burnOk;
}

void EngineLibraries::setBeforeBurnFinish(void (*hook)())
{
    State &s = state();
    std::lock_guard guard(s.mutex);
    s.beforeBurnFinish = hook;
}

void DriveLetters::bind(QChar letter, const QString &devicePath)
{
    State &s = state();
    std::lock_guard guard(s.mutex);
    s.letters.insert(letter.toUpper(), devicePath);
}

void DriveLetters::clear()
{
    State &s = state();
    std::lock_guard guard(s.mutex);
    s.letters.clear();
}

QString DriveLetters::devicePath(QChar letter)
{
    State &s = state();
    std::lock_guard guard(s.mutex);
    return s.letters.value(letter.toUpper());
}
