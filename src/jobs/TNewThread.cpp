#include "jobs/TNewThread.h"

TNewThread::TNewThread(ImageJobParams params, QObject *parent)
    : QThread(parent)
    , m_job(std::move(params))
{ }

void TNewThread::run()
{
    const ImageJob::Outcome outcome = m_job.run();
    if (m_job.isCancelled())
        return; // dropped, also when the file was finished just before
    if (outcome.status == ImageJob::Status::Written)
        Q_EMIT JobSucceeded();
    else if (outcome.status == ImageJob::Status::Failed)
        Q_EMIT JobFailed(outcome.error);
}
