#pragma once

#include "core/ImageJobParams.h"

#include <QString>
#include <QStringList>

#include <atomic>

// One image job, the same for the window's worker and the command line: the label is set when the
// job is made, a disc is read into an emptied image (disc to image only), then the image file is
// written. `run` works on the calling thread; `cancel` may come from any other.
class ImageJob final
{
public:
    enum class Status { Written, Failed, Cancelled };
    struct Outcome
    {
        Status status = Status::Failed;
        QString error; // why it failed, in the engine's words
        QStringList notes; // what a copy could not keep, said without failing it
    };

    explicit ImageJob(ImageJobParams params);

    Outcome run();
    // Stops the engine's work; the outcome is Cancelled unless the file was written already.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    const ImageJobParams &params() const { return m_params; }

private:
    const ImageJobParams m_params;
    std::atomic<bool> m_cancelled {false};
};
