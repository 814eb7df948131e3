#include "jobs/TNewThread.h"

#include "engine/TDVDWriterPro2.h"
#include "base/KestraneError.h"

TNewThread::TNewThread(ImageJobParams params, QObject *parent)
    : QThread(parent)
    , m_params(std::move(params))
{ }

void TNewThread::cancel()
{
    m_cancelled = true;
    m_params.engine->CancelImageWrite();
}

void TNewThread::run()
{
    TDVDWriterPro2 *engine = m_params.engine;
    QString failure;
    try {
        if (m_params.kind == ImageJobParams::Kind::DiscToImage) {
            // A disc that cannot be read must not turn into an empty image reported as a success:
            // an error here fails the job.
            engine->AddFolder(QStringLiteral("\\"), m_params.sourceDrive + QStringLiteral("\\*.*"));
        }
        if (!m_cancelled && !engine->WriteImageFile(m_params.isoPath))
            failure = engine->LastImageError();
    } catch (const KestraneError &error) {
        failure = error.message();
    }
    if (m_cancelled)
        return;
    if (failure.isNull())
        Q_EMIT JobSucceeded();
    else
        Q_EMIT JobFailed(failure);
}
