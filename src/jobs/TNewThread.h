#pragma once

#include "core/ImageJobParams.h"

#include <QString>
#include <QThread>

#include <atomic>

// The worker of one image job: adds the disc (disc to image only), then writes the image file.
// It holds its job by value, touches nothing but the job's engine instance and hands its single
// result back through JobSucceeded or JobFailed, unless it was cancelled.
class TNewThread final : public QThread
{
    Q_OBJECT
public:
    explicit TNewThread(ImageJobParams params, QObject *parent = nullptr);

    const ImageJobParams &params() const { return m_params; }
    // Stops the engine's work and drops the result: no job end follows.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

Q_SIGNALS:
    void JobSucceeded();
    // `reason`: why, in the engine's words.
    void JobFailed(const QString &reason);

protected:
    void run() override;

private:
    const ImageJobParams m_params;
    std::atomic<bool> m_cancelled {false};
};
