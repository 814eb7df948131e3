#pragma once

#include <QObject>
#include <QPointer>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <type_traits>
#include <unordered_map>
#include <vector>

class QThread;
class QTimer;
class TDVDWriterPro2;

// The drive thread of a window: the engine's drive-side calls (scanning, grabbing, probing media,
// ejecting, starting burns and erases) run here, one at a time and in the order they were asked,
// so that a drive that takes seconds to answer never holds up the window. A call that starts a burn or
// an erase leaves the job's polling on this thread; its events reach the window as queued signals.
//
// The engine's operations stay synchronous: a caller without a window (a command line) calls them on
// its own thread and never needs this object. The window gives its engines to adopt(), which moves
// their drive sides onto the drive thread: from then on a drive-side call on any other thread ends
// the program, so the window can only reach the drives through ask() and post(). When the thread
// stops, the drive sides return to the thread that made this object.
//
// Made, asked and destroyed on one thread (the window's); the answers run there.
class DriveThread final : public QObject
{
    Q_OBJECT
public:
    // Long enough for a recorder to spin up, load its tray and settle; a drive that takes longer is
    // reported as not answering.
    static constexpr std::chrono::milliseconds DefaultAnswerBound {60000};

    explicit DriveThread(std::chrono::milliseconds answerBound = DefaultAnswerBound,
                         QObject *parent = nullptr);
    // Stops the thread, waiting for the running call at most one answer bound; questions not begun by
    // then are dropped unanswered.
    ~DriveThread() override;

    std::chrono::milliseconds answerBound() const { return m_bound; }

    // Runs `work` on the drive thread, then `answer` on this object's thread with the result, or with
    // nothing when none came within the answer bound: the work is then skipped if it had not begun,
    // and a result that comes later is dropped. No answer reaches a `receiver` that has been
    // destroyed; `work` must not touch widgets or `receiver`. An exception thrown by `work` is thrown
    // again on this object's thread in place of the answer, as the call itself would have thrown it.
    template<typename Work, typename Answer>
    void ask(QObject *receiver, Work work, Answer answer)
    {
        using Result = std::invoke_result_t<Work &>;
        struct Outcome
        {
            std::optional<Result> value;
            std::exception_ptr error;
        };
        auto outcome = std::make_shared<Outcome>();
        submit(
            receiver,
            [outcome, work = std::move(work)]() mutable {
                try {
                    outcome->value = work();
                } catch (...) {
                    outcome->error = std::current_exception();
                }
            },
            [outcome, answer = std::move(answer)](bool answered) mutable {
                if (!answered) {
                    answer(std::optional<Result>());
                    return;
                }
                if (outcome->error)
                    std::rethrow_exception(outcome->error);
                answer(std::move(outcome->value));
            });
    }

    // Runs `work` on the drive thread after what was asked before; nobody waits for it.
    void post(std::function<void()> work);

    // Moves the drive sides of `engines` onto the drive thread. Called on this object's thread, where
    // the engines were made, before anything is asked of them. An engine may go before this object,
    // but not while the drive thread runs one of its calls.
    void adopt(std::initializer_list<TDVDWriterPro2 *> engines);

private:
    struct Link;
    struct Question;

    void submit(QObject *receiver, std::function<void()> work, std::function<void(bool answered)> settle);
    void settle(std::uint64_t id, bool answered);

    std::chrono::milliseconds m_bound;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives on m_thread
    std::shared_ptr<Link> m_link;
    // The adopted drive sides, handed back when the thread stops (read on the drive thread then).
    std::shared_ptr<std::vector<QPointer<QObject>>> m_adopted;
    std::unordered_map<std::uint64_t, std::unique_ptr<Question>> m_questions;
    std::uint64_t m_nextId = 1;
};
