#include "engine/DriveThread.h"

#include "base/ErrorText.h"
#include "base/StdErr.h"

#include "engine/DriveSide.h"
#include "engine/Libraries.h"
#include "engine/TDVDWriterPro2.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <exception>
#include <mutex>
#include <optional>

namespace {

enum State : int { Waiting, Begun, Dropped };

} // namespace

// The way back from the drive thread to the asking side, cut when that side goes away.
struct DriveThread::Link
{
    std::mutex mutex;
    DriveThread *front = nullptr;

    void answer(std::uint64_t id)
    {
        std::lock_guard guard(mutex);
        if (front)
            QMetaObject::invokeMethod(
                front, [front = front, id] { front->settle(id, true); }, Qt::QueuedConnection);
    }
};

// One question, as the asking side keeps it until it is answered or overdue.
struct DriveThread::Question
{
    QPointer<QObject> receiver;
    std::function<void(bool)> settle;
    std::shared_ptr<std::atomic<int>> state;
    QTimer *deadline = nullptr; // child of the DriveThread
};

DriveThread::DriveThread(std::chrono::milliseconds answerBound, QObject *parent)
    : QObject(parent)
    , m_bound(answerBound)
    , m_thread(new QThread)
    , m_worker(new QObject)
    , m_link(std::make_shared<Link>())
    , m_adopted(std::make_shared<std::vector<QPointer<QObject>>>())
{
    // libburn is started on the main thread; the drive thread only uses it.
    EngineLibraries::ensureBurnInit();
    m_link->front = this;
    m_thread->setObjectName(QStringLiteral("drive thread"));
    m_worker->moveToThread(m_thread);
    // Emitted on the drive thread as it ends, the only thread that may hand its objects on.
    connect(
        m_thread, &QThread::finished, m_thread,
        [adopted = m_adopted, home = thread()] {
            for (const QPointer<QObject> &side : *adopted) {
                if (side)
                    side->moveToThread(home);
            }
        },
        Qt::DirectConnection);
    m_thread->start();
}

void DriveThread::adopt(std::initializer_list<TDVDWriterPro2 *> engines)
{
    Q_ASSERT(QThread::currentThread() == thread());
    for (TDVDWriterPro2 *engine : engines) {
        DriveSide *side = engine->m_drives.get();
        if (side->thread() != QThread::currentThread())
            qFatal("DriveThread::adopt: the engine's drive side is not on the adopting thread");
        side->moveToThread(m_thread);
        m_adopted->push_back(side);
    }
}

DriveThread::~DriveThread()
{
    {
        std::lock_guard guard(m_link->mutex);
        m_link->front = nullptr;
    }
    for (auto &[id, question] : m_questions)
        question->state->store(Dropped);
    m_thread->quit();
    if (m_thread->wait(QDeadlineTimer(m_bound))) {
        delete m_worker;
        delete m_thread;
        return;
    }
    // A drive that hangs in the kernel cannot be interrupted: its thread is left to the process's end.
    StdErr::line(QStringLiteral("kestrane: the drive thread did not stop within %1 ms; left running")
                     .arg(qint64(m_bound.count())));
}

void DriveThread::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(
        m_worker,
        [work = std::move(work)] {
            // Nobody waits for this work, so nobody can take its error: it is logged.
            try {
                if (const std::optional<QString> failure = FailureOf(work))
                    StdErr::line(QStringLiteral("kestrane: drive thread: ") + *failure);
            } catch (...) {
                StdErr::line(QStringLiteral("kestrane: drive thread: an unknown error"));
            }
        },
        Qt::QueuedConnection);
}

void DriveThread::submit(QObject *receiver, std::function<void()> work, std::function<void(bool)> settleWith)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const std::uint64_t id = m_nextId++;
    auto question = std::make_unique<Question>();
    question->receiver = receiver;
    question->settle = std::move(settleWith);
    question->state = std::make_shared<std::atomic<int>>(Waiting);
    question->deadline = new QTimer(this);
    question->deadline->setSingleShot(true);
    connect(question->deadline, &QTimer::timeout, this, [this, id] { settle(id, false); });
    question->deadline->start(m_bound);

    QMetaObject::invokeMethod(
        m_worker,
        [link = m_link, state = question->state, work = std::move(work), id]() mutable {
            int waiting = Waiting;
            if (!state->compare_exchange_strong(waiting, Begun))
                return; // overdue before it began: nobody waits for it any more
            work();
            work = nullptr; // what the work holds goes here, on the drive thread
            link->answer(id);
        },
        Qt::QueuedConnection);
    m_questions.emplace(id, std::move(question));
}

void DriveThread::settle(std::uint64_t id, bool answered)
{
    const auto found = m_questions.find(id);
    if (found == m_questions.end())
        return; // answered late, after it was reported overdue
    std::unique_ptr<Question> question = std::move(found->second);
    m_questions.erase(found);
    question->deadline->deleteLater();
    if (!answered) {
        int waiting = Waiting;
        question->state->compare_exchange_strong(waiting, Dropped);
    }
    if (question->receiver)
        question->settle(answered);
}
