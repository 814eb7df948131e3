#include "compilation/ImageSizeCalculator.h"

#include "settings/KestraneError.h"

#include <cmath>
#include <exception>

ImageSizeCalculator::ImageSizeCalculator(TDVDWriterPro2 &engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_thread([this] { run(); })
{ }

ImageSizeCalculator::~ImageSizeCalculator()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void ImageSizeCalculator::request()
{
    if (m_inFlight) {
        // The running computation may be overtaken already; its answer decides.
        m_wanted = true;
        return;
    }
    startOne();
}

void ImageSizeCalculator::startOne()
{
    m_wanted = false;
    m_inFlight = true;
    {
        std::lock_guard lock(m_mutex);
        // The properties belong to the UI thread: read here, handed over by value.
        m_options = m_engine.ImageSizeOptions();
        m_job = true;
    }
    m_wake.notify_one();
}

void ImageSizeCalculator::delivered(const Answer &answer)
{
    m_inFlight = false;
    // Only an answer for the image as it is now is shown; one that a change overtook is dropped
    // and the image sized again, whether or not that change asked for it.
    if (answer.size.generation != m_engine.ImageGeneration()) {
        startOne();
        return;
    }
    m_wanted = false;
    if (!answer.ok) {
        Q_EMIT failed(answer.error);
        return;
    }
    Q_EMIT sizeKnown(answer.size.hasItems ? std::llround(TDVDWriterPro2::BlocksToBytes(answer.size.blocks, 1))
                                          : 0);
}

void ImageSizeCalculator::run()
{
    for (;;) {
        TDVDWriterPro2::SizeOptions options;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_job || m_stop; });
            if (m_stop)
                return;
            m_job = false;
            options = m_options;
            m_computing = true;
        }
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
        m_computing = false;
        QMetaObject::invokeMethod(
            this, [this, answer] { delivered(answer); }, Qt::QueuedConnection);
    }
}
