#pragma once

#include <QList>
#include <QQueue>

#include <utility>

// The stand-in for one kind of exchange with the user or the desktop (a message box, a file
// dialog, the shell) while tests run: when enabled, each request is recorded instead of shown and
// answered from a queue, or with the caller's fallback when the queue is empty.
template<typename Request, typename Answer>
class TestSeam final
{
public:
    void enable() { m_enabled = true; }
    // Off again, with nothing recorded and nothing queued.
    void disable() { *this = TestSeam(); }
    bool enabled() const { return m_enabled; }

    void queueAnswer(Answer answer) { m_answers.enqueue(std::move(answer)); }
    Answer record(Request request, Answer fallback)
    {
        m_requests.append(std::move(request));
        return m_answers.isEmpty() ? std::move(fallback) : m_answers.dequeue();
    }

    const QList<Request> &requests() const { return m_requests; }
    QList<Request> takeRequests() { return std::exchange(m_requests, {}); }

private:
    bool m_enabled = false;
    QQueue<Answer> m_answers;
    QList<Request> m_requests;
};
