#include "EngineEvents.h"

#include "TestSupport.h"

#include <QThread>

EngineEvents::EngineEvents(TDVDWriterPro2 &engine)
{
    connect(&engine, &TDVDWriterPro2::OnTrackWriteStatus, this, [this](int, qint64 written, qint64 total) {
        allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == thread();
        progress.push_back({written, total});
    });
    connect(&engine, &TDVDWriterPro2::OnBurnProgress, this, [this](int stage, qint64 done, qint64 total) {
        static const char *const words[] = {"Preparing", "Writing", "Closing", "Verifying", "Erasing"};
        stages.append(QStringLiteral("%1 %2/%3")
                          .arg(QLatin1String(stage >= 0 && stage < 5 ? words[stage] : "?"))
                          .arg(done)
                          .arg(total));
    });
    connect(&engine, &TDVDWriterPro2::OnWriteComplete, this, [this] { note(QStringLiteral("complete")); });
    connect(&engine, &TDVDWriterPro2::OnWriteCancelled, this, [this] { note(QStringLiteral("cancelled")); });
    connect(&engine, &TDVDWriterPro2::OnWriteError, this,
            [this](int writeError, int driveError, const QString &info, const QString &sense) {
                errors.push_back({writeError, driveError, info, sense});
                note(QStringLiteral("error"));
            });
    connect(&engine, &TDVDWriterPro2::OnEraseDiscStart, this, [this] { note(QStringLiteral("eraseStart")); });
    connect(&engine, &TDVDWriterPro2::OnEraseDiscComplete, this,
            [this] { note(QStringLiteral("eraseComplete")); });
    connect(&engine, &TDVDWriterPro2::OnFileVerifyComplete, this, [this](int compared, int matched) {
        note(QStringLiteral("verify %1/%2").arg(compared).arg(matched));
    });
}

int EngineEvents::endings() const
{
    return int(kinds.count(QStringLiteral("complete")) + kinds.count(QStringLiteral("cancelled")) +
               kinds.count(QStringLiteral("error")) + kinds.count(QStringLiteral("eraseComplete")));
}

bool EngineEvents::waitForEnd(int timeoutMs)
{
    return TestSupport::waitFor([this] { return endings() > 0; }, timeoutMs);
}

void EngineEvents::clear()
{
    kinds.clear();
    progress.clear();
    stages.clear();
    errors.clear();
    allOnOwnerThread = true;
}

void EngineEvents::note(const QString &kind)
{
    allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == thread();
    kinds.append(kind);
}
