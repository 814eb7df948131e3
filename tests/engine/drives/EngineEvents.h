#pragma once

#include "engine/TDVDWriterPro2.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

// Records the drive events of one engine instance, in order, and whether each came on the thread
// that owns the engine.
class EngineEvents final : public QObject
{
    Q_OBJECT
public:
    explicit EngineEvents(TDVDWriterPro2 &engine);

    struct Progress
    {
        qint64 written;
        qint64 total;
    };
    struct Error
    {
        int writeError;
        int driveError;
        QString info;
        QString sense;
    };

    QStringList kinds; // "progress" excluded: "complete", "cancelled", "error", "eraseStart", ...
    std::vector<Progress> progress;
    // OnBurnProgress: "Writing 3/10", stage word and counts, each as it came.
    QStringList stages;
    std::vector<Error> errors;
    bool allOnOwnerThread = true;

    int endings() const; // complete + cancelled + error
    bool waitForEnd(int timeoutMs = 30000);
    void clear();

private:
    void note(const QString &kind);
};
