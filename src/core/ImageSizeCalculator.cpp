#include "core/ImageSizeCalculator.h"

#include "base/ErrorText.h"
#include "core/OffThread.h"

#include <QTimer>

#include <cmath>

ImageSizeCalculator::ImageSizeCalculator(TDVDWriterPro2 &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
    m_pool.setMaxThreadCount(int(MaxRunning));
}

ImageSizeCalculator::~ImageSizeCalculator()
{
    m_pool.waitForDone();
}

void ImageSizeCalculator::request()
{
    // The rest of this turn's changes belong to the same computation.
    if (std::exchange(m_kickPending, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_kickPending = false;
        kick();
    });
}

void ImageSizeCalculator::kick()
{
    if (m_running.size() >= MaxRunning) {
        m_wanted = true;
        return;
    }
    startOne();
}

void ImageSizeCalculator::startOne()
{
    m_wanted = false;
    const uint64_t serial = ++m_latestSerial;
    // The properties belong to the UI thread: read here, handed over by value.
    const TDVDWriterPro2::SizeOptions options = m_engine.ImageSizeOptions();
    m_running.insert(serial);
    OffThread(
        m_pool, this, [this, options] { return compute(options); },
        [this, serial](const Answer &answer) { delivered(serial, answer); });
}

ImageSizeCalculator::Answer ImageSizeCalculator::compute(const TDVDWriterPro2::SizeOptions &options)
{
    Answer answer;
    // Taken first: a change during the computation makes the answer, and a failure, stale.
    answer.size.generation = m_engine.ImageGeneration();
    const std::optional<QString> failure = FailureOf([&] { answer.size = m_engine.ImageSizeOf(options); });
    answer.ok = !failure;
    answer.error = failure.value_or(QString());
    return answer;
}

void ImageSizeCalculator::delivered(uint64_t serial, const Answer &answer)
{
    m_running.erase(serial);
    if (serial != m_latestSerial) {
        // Overtaken by a newer computation; a size still owed may start in the slot it frees.
        if (m_wanted)
            request();
        return;
    }
    // Only an answer for the image as it is now is shown; one that a change overtook is dropped
    // and the image sized again, whether or not that change asked for it.
    if (m_wanted || answer.size.generation != m_engine.ImageGeneration()) {
        request();
        return;
    }
    if (!answer.ok) {
        Q_EMIT failed(answer.error);
        return;
    }
    Q_EMIT sizeKnown(answer.size.hasItems ? std::llround(TDVDWriterPro2::BlocksToBytes(answer.size.blocks, 1))
                                          : 0);
}
