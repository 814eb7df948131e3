#pragma once

#include "engine/ImageItem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

// Adds to the compilation on a thread of its own, so that the window keeps answering while the
// engine walks a big folder or a long list. The work reports what it makes; the reports reach the
// UI thread in batches, in order, through the handlers. Qt Core only.
class BackgroundAdd final : public QObject
{
    Q_OBJECT
public:
    // What the work tells the UI thread. Each runs there, in the order the work reported.
    struct Handlers
    {
        std::function<void()> reset; // the image was emptied
        std::function<void(const QList<ImageItem> &)> items; // items the engine made
        std::function<void(qint64 done, qint64 total)> progress; // total 0: not known
        std::function<void()> finished; // the work has returned
    };
    // Runs on the thread; reports through the BackgroundAdd it is given.
    using Work = std::function<void(BackgroundAdd &)>;

    explicit BackgroundAdd(QObject *parent = nullptr);
    // Cancels and waits: the engine must not be left with a thread inside it.
    ~BackgroundAdd() override;

    // UI thread. One work at a time.
    void start(const Work &work, const Handlers &handlers);
    void cancel();
    // Cancels and waits for the thread; no handler runs any more.
    void stop();
    bool isRunning() const { return m_running; }

    // The work's side.
    void reportReset();
    void reportItem(const ImageItem &item);
    void reportProgress(qint64 done, qint64 total);
    bool isCancelled() const { return m_cancel.load(); }

private:
    void flush(bool force, uint64_t generation);
    void end(uint64_t generation);

    Handlers m_handlers;
    bool m_running = false;
    std::atomic<bool> m_cancel {false};
    QThreadPool m_pool; // one thread: one work at a time
    // Counts starts and stops; what an earlier work still has on its way is dropped. Written on the
    // UI thread only while no work runs, so the work reads it without a lock.
    uint64_t m_generation = 0;

    // The work's side: items gathered since the last batch went out.
    std::mutex m_mutex;
    QList<ImageItem> m_batch;
    qint64 m_done = 0;
    qint64 m_total = 0;
    bool m_progressChanged = false;
    qint64 m_lastFlush = 0;
};
