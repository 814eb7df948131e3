#pragma once

#include "engine/TDVDWriterPro2.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <set>

// Computes the exact size of the compilation's image away from the UI thread, so that the window
// keeps answering while libisofs lays out a big image. Requests coalesce: a burst of changes in one
// turn of the event loop costs one computation. A newer change does not wait for a running
// computation: the engine holds its lock only while it copies the tree, so the newer size starts at
// once beside the older one, whose answer is thrown away. Only the size of the image as it is now is
// ever announced. Qt Core only.
class ImageSizeCalculator final : public QObject
{
    Q_OBJECT
public:
    explicit ImageSizeCalculator(TDVDWriterPro2 &engine, QObject *parent = nullptr);
    // Waits for the running computations: the engine must not be left with a thread inside it.
    ~ImageSizeCalculator() override;

    // Asks for the size of the image as it is now; the answer comes through sizeKnown or failed.
    void request();
    // Between a request and its answer.
    bool isWorking() const { return m_kickPending || latestRunning() || m_wanted; }
    // The size awaited is being computed: an engine call of the UI thread may wait for it. A
    // computation already overtaken does not count: nothing waits for its answer.
    bool isComputing() const { return latestRunning(); }

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
    bool latestRunning() const { return m_running.count(m_latestSerial) != 0; }
    void kick();
    void startOne();
    void delivered(uint64_t serial, const Answer &answer);
    Answer compute(const TDVDWriterPro2::SizeOptions &options);

    // A superseded computation cannot be stopped inside libisofs; this many may run to their end
    // beside the one whose answer is awaited, so that a stream of changes cannot pile up threads.
    static constexpr size_t MaxRunning = 2;

    TDVDWriterPro2 &m_engine;
    // UI thread only.
    bool m_kickPending = false;
    bool m_wanted = false; // a newer size is owed once a computation slot is free
    uint64_t m_latestSerial = 0;
    std::set<uint64_t> m_running; // until their answers are delivered
    QThreadPool m_pool;
};
