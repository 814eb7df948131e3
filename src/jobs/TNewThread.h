#pragma once

#include "core/ImageJob.h"

#include <QString>
#include <QThread>

// The window's worker of one image job: runs the job that the command line runs too, away from the
// UI thread, and hands its single result back through JobSucceeded or JobFailed, unless it was
// cancelled.
class TNewThread final : public QThread
{
    Q_OBJECT
public:
    explicit TNewThread(ImageJobParams params, QObject *parent = nullptr);

    const ImageJobParams &params() const { return m_job.params(); }
    // Stops the engine's work and drops the result: no job end follows.
    void cancel() { m_job.cancel(); }
    bool isCancelled() const { return m_job.isCancelled(); }

Q_SIGNALS:
    void JobSucceeded();
    // `reason`: why, in the engine's words.
    void JobFailed(const QString &reason);

protected:
    void run() override;

private:
    ImageJob m_job;
};
