#include "core/ImageJob.h"

#include "base/ErrorText.h"
#include "engine/TDVDWriterPro2.h"

ImageJob::ImageJob(ImageJobParams params)
    : m_params(std::move(params))
{
    // Set on the thread that makes the job, where the engine's properties are read (the window shows
    // the compilation's label), not on the thread that runs it.
    if (m_params.label)
        m_params.engine->setVolumeIdentifier(*m_params.label);
}

void ImageJob::cancel()
{
    m_cancelled = true;
    m_params.engine->CancelImageWrite();
}

ImageJob::Outcome ImageJob::run()
{
    TDVDWriterPro2 &engine = *m_params.engine;
    Outcome outcome;
    bool written = false;
    const std::optional<QString> failure = FailureOf([&] {
        if (m_params.kind == ImageJobParams::Kind::DiscToImage) {
            // A disc that cannot be read must not turn into an empty image reported as a success:
            // an error here fails the job.
            engine.ResetImage();
            engine.AddFolder(QStringLiteral("\\"), m_params.sourceDrive + QStringLiteral("\\*.*"));
        }
        written = !m_cancelled && engine.WriteImageFile(m_params.isoPath);
    });
    if (m_cancelled && !written) {
        outcome.status = Status::Cancelled;
        return outcome;
    }
    if (failure) {
        outcome.error = *failure;
        return outcome;
    }
    if (!written) {
        outcome.error = engine.LastImageError();
        return outcome;
    }
    outcome.status = Status::Written;
    outcome.notes = engine.ImageNotes();
    return outcome;
}
