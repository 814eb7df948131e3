#include "core/BackgroundAdd.h"

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
{ }

BackgroundAdd::~BackgroundAdd()
{
    stop();
}

void BackgroundAdd::stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    m_handlers = {};
    m_running = false;
}

void BackgroundAdd::start(const Work &work, const Handlers &handlers)
{
    Q_ASSERT(!m_running);
    if (m_thread.joinable())
        m_thread.join();
    m_handlers = handlers;
    m_cancel = false;
    m_running = true;
    m_lastFlush = monotonicNs();
    m_thread = std::thread([this, work] {
        work(*this);
        flush(true);
        QMetaObject::invokeMethod(
            this, [this] { ended(); }, Qt::QueuedConnection);
    });
}

void BackgroundAdd::cancel()
{
    m_cancel = true;
}

void BackgroundAdd::ended()
{
    if (!m_thread.joinable())
        return; // stopped already
    m_thread.join();
    m_running = false;
    if (m_handlers.finished)
        m_handlers.finished();
}

void BackgroundAdd::reportReset()
{
    flush(true);
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_handlers.reset)
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
    flush(false);
}

void BackgroundAdd::reportProgress(qint64 done, qint64 total)
{
    {
        std::lock_guard lock(m_mutex);
        m_done = done;
        m_total = total;
        m_progressChanged = true;
    }
    flush(false);
}

void BackgroundAdd::flush(bool force)
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
        [this, batch, done, total, progressChanged] {
            if (!batch.isEmpty() && m_handlers.items)
                m_handlers.items(batch);
            if (progressChanged && m_handlers.progress)
                m_handlers.progress(done, total);
        },
        Qt::QueuedConnection);
}
