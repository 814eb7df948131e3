#include "TNewThread.h"

#include "KestraneError.h"
#include "TDVDWriterPro2.h"

TNewThread::TNewThread(TDVDWriterPro2 *engine, QString isoPath, QString sourceDrive, QObject *parent)
    : QThread(parent)
    , m_engine(engine)
    , m_isoPath(std::move(isoPath))
    , m_sourceDrive(std::move(sourceDrive))
{ }

void TNewThread::cancel()
{
    m_cancelled = true;
    m_engine->CancelImageWrite();
}

void TNewThread::run()
{
    bool succeeded = false;
    try {
        if (!m_sourceDrive.isEmpty()) {
            // A disc that cannot be read must not turn into an empty image reported as a success:
            // an error here fails the job.
            m_engine->AddFolder(QStringLiteral("\\"), m_sourceDrive + QStringLiteral("\\*.*"));
        }
        if (!m_cancelled) {
            succeeded = m_engine->WriteImageFile(m_isoPath);
            if (!succeeded)
                m_failureReason = m_engine->LastImageError();
        }
    } catch (const KestraneError &error) {
        m_failureReason = error.message();
        succeeded = false;
    }
    if (!m_cancelled)
        Q_EMIT Finished(succeeded);
}
