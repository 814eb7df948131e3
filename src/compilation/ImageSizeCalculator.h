#pragma once

#include "engine/TDVDWriterPro2.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Computes the exact size of the compilation's image on a thread of its own, so that the window
// keeps answering while libisofs lays out a big image. Requests coalesce: a burst of changes costs
// one computation, and a computation that a newer change overtook is thrown away, so that only the
// size of the image as it is now is ever announced. Qt Core only.
class ImageSizeCalculator final : public QObject
{
    Q_OBJECT
public:
    explicit ImageSizeCalculator(TDVDWriterPro2 &engine, QObject *parent = nullptr);
    // Waits for a running computation: the engine must not be left with a thread inside it.
    ~ImageSizeCalculator() override;

    // Asks for the size of the image as it is now; the answer comes through sizeKnown or failed.
    void request();
    // Between a request and its answer.
    bool isWorking() const { return m_inFlight || m_wanted; }
    // The thread is inside the engine now: an engine call of the UI thread would wait for it.
    bool isComputing() const { return m_computing.load(); }

Q_SIGNALS:
    // The size of the image as it is now, in bytes: zero for an image that holds nothing (the engine
    // counts the volume descriptors and the empty root even then).
    void sizeKnown(qint64 bytes);
    // libisofs refused to lay out the image as it is now.
    void failed(const QString &reason);

private:
    struct Answer
    {
        TDVDWriterPro2::ImageSize size;
        QString error;
        bool ok = false;
    };
    void startOne();
    void delivered(const Answer &answer);
    void run();

    TDVDWriterPro2 &m_engine;
    // UI thread only.
    bool m_inFlight = false;
    bool m_wanted = false;
    // Handed to the thread.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_job = false;
    bool m_stop = false;
    TDVDWriterPro2::SizeOptions m_options;
    std::atomic<bool> m_computing {false};
    std::thread m_thread;
};
