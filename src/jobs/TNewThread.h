#pragma once

#include <QString>
#include <QThread>

#include <atomic>

class TDVDWriterPro2;

// The worker of one image job: adds the disc (disc to image only), then writes the image file.
// It touches nothing but its engine instance and hands its single result back through Finished.
class TNewThread final : public QThread
{
    Q_OBJECT
public:
    TNewThread(TDVDWriterPro2 *engine, QString isoPath, QString sourceDrive, QObject *parent = nullptr);

    // Stops the engine's write and drops the result: no job end follows.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }
    // Why the job failed, in the engine's words; read once the thread has finished.
    QString failureReason() const { return m_failureReason; }

Q_SIGNALS:
    void Finished(bool Succeeded);

protected:
    void run() override;

private:
    TDVDWriterPro2 *m_engine;
    const QString m_isoPath;
    const QString m_sourceDrive;
    std::atomic<bool> m_cancelled {false};
    QString m_failureReason;
};
