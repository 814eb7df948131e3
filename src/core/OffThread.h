#pragma once

#include <QFuture>
#include <QObject>
#include <QPromise>
#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

// Runs `work` on a thread of `pool` and hands what it returns to `then` on `context`'s thread,
// queued; an answer still queued when `context` goes is dropped. `context` must outlive the work:
// its owner waits for the pool (QThreadPool::waitForDone) in its destructor.
template<typename Work, typename Then>
void OffThread(QThreadPool &pool, QObject *context, Work work, Then then)
{
    using Result = std::invoke_result_t<Work &>;
    // QThreadPool takes a copyable function; the promise itself cannot be copied.
    auto promise = std::make_shared<QPromise<Result>>();
    promise->future().then(context, std::move(then));
    promise->start();
    pool.start([promise, work = std::move(work)]() mutable {
        promise->addResult(work());
        promise->finish();
    });
}
