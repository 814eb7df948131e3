#include "core/ImageSizeCalculator.h"

#include "base/KestraneError.h"

#include <QTimer>

#include <cmath>
#include <exception>

ImageSizeCalculator::ImageSizeCalculator(TDVDWriterPro2 &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{ }

ImageSizeCalculator::~ImageSizeCalculator()
{
    for (auto &[serial, thread] : m_running)
        thread.join();
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
    m_running.emplace(serial, std::thread([this, serial, options] {
                          const Answer answer = compute(options);
                          QMetaObject::invokeMethod(
                              this, [this, serial, answer] { delivered(serial, answer); },
                              Qt::QueuedConnection);
                      }));
}

ImageSizeCalculator::Answer ImageSizeCalculator::compute(const TDVDWriterPro2::SizeOptions &options)
{
    Answer answer;
    // Taken first: a change during the computation makes the answer, and a failure, stale.
    answer.size.generation = m_engine.ImageGeneration();
    try {
        answer.size = m_engine.ImageSizeOf(options);
        answer.ok = true;
    } catch (const KestraneError &error) {
        answer.error = error.message();
    } catch (const std::exception &error) {
        answer.error = QString::fromLocal8Bit(error.what());
    }
    return answer;
}

void ImageSizeCalculator::delivered(uint64_t serial, const Answer &answer)
{
    // The thread has posted its answer and is ending.
    if (auto found = m_running.find(serial); found != m_running.end()) {
        found->second.join();
        m_running.erase(found);
    }
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
