#include "core/BackgroundAdd.h"

#include "core/OffThread.h"

#include <QElapsedTimer>

#include <utility>

namespace {
// A batch goes out at least this often, or when it holds this many items: the tree grows visibly
// and no single turn of the event loop takes long.
constexpr qint64 BatchEveryNs = 30'000'000;
constexpr qsizetype BatchItems = 2000;

qint64 monotonicNs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return clock.nsecsElapsed();
}
} // namespace

BackgroundAdd::BackgroundAdd(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(1);
}

BackgroundAdd::~BackgroundAdd()
{
    stop();
}

void BackgroundAdd::stop()
{
    m_cancel = true;
    m_pool.waitForDone();
    ++m_generation; // what the stopped work still has on its way is dropped
    m_handlers = {};
    m_running = false;
}

void BackgroundAdd::start(const Work &work, const Handlers &handlers)
{
    Q_ASSERT(!m_running);
    m_pool.waitForDone(); // the last work has handed over its end; its thread may still be returning
    m_handlers = handlers;
    m_cancel = false;
    m_running = true;
    m_lastFlush = monotonicNs();
    const uint64_t generation = ++m_generation;
    OffThread(
        m_pool, this,
        [this, work, generation] {
            work(*this);
            flush(true, generation);
            return generation;
        },
        [this](uint64_t ended) { end(ended); });
}

void BackgroundAdd::cancel()
{
    m_cancel = true;
}

void BackgroundAdd::end(uint64_t generation)
{
    if (generation != m_generation)
        return; // stopped already
    m_running = false;
    if (m_handlers.finished)
        m_handlers.finished();
}

void BackgroundAdd::reportReset()
{
    const uint64_t generation = m_generation;
    flush(true, generation);
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == m_generation && m_handlers.reset)
                m_handlers.reset();
        },
        Qt::QueuedConnection);
}

void BackgroundAdd::reportItem(const ImageItem &item)
{
    {
        std::lock_guard lock(m_mutex);
        m_batch.append(item);
    }
    flush(false, m_generation);
}

void BackgroundAdd::reportProgress(qint64 done, qint64 total)
{
    {
        std::lock_guard lock(m_mutex);
        m_done = done;
        m_total = total;
        m_progressChanged = true;
    }
    flush(false, m_generation);
}

void BackgroundAdd::flush(bool force, uint64_t generation)
{
    QList<ImageItem> batch;
    qint64 done = 0;
    qint64 total = 0;
    bool progressChanged = false;
    {
        std::lock_guard lock(m_mutex);
        const qint64 now = monotonicNs();
        if (!force && m_batch.size() < BatchItems && now - m_lastFlush < BatchEveryNs)
            return;
        m_lastFlush = now;
        batch.swap(m_batch);
        done = m_done;
        total = m_total;
        progressChanged = std::exchange(m_progressChanged, false);
    }
    if (batch.isEmpty() && !progressChanged)
        return;
    QMetaObject::invokeMethod(
        this,
        [this, batch, done, total, progressChanged, generation] {
            if (generation != m_generation)
                return;
            if (!batch.isEmpty() && m_handlers.items)
                m_handlers.items(batch);
            if (progressChanged && m_handlers.progress)
                m_handlers.progress(done, total);
        },
        Qt::QueuedConnection);
}
