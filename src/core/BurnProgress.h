#pragma once

#include "engine/EngineCodes.h"
#include "engine/MediumDetails.h"
#include "engine/ReadBack.h"

#include <QString>

#include <deque>
#include <utility>

// Where a running burn, its read-back or an erase stands, in the engine's figures and what was measured.
struct BurnProgress
{
    EngineCodes::BurnStage stage = EngineCodes::Preparing;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0; // 0 while not known
    double bytesPerSecond = 0; // measured; 0 while not known
    qint64 oneTimes = 0; // the medium's 1x in bytes per second; 0 for a medium without one (a file, a stick)
};

// The words the burn page shows, "Writing 45%, 6.3 MB/s (4.6×), 2:05 left": the stage, the percent
// when the total is known, the speed while data moves, the time left once a speed is known.
QString BurnProgressText(const BurnProgress &progress);

// The whole percent done, cut like the progress bar's (99.9 gives 99); 0 while the total is not known.
int BurnPercent(const BurnProgress &progress);

// The data rate of the medium's 1x: CD 150 KiB/s, DVD 1,385,000 B/s, BD 4.5 MB/s; 0 where none applies.
qint64 OneTimesSpeed(const MediumDetails &medium);

// The speed over the last few seconds, from samples of bytes done against a clock in milliseconds.
class BurnSpeedMeter
{
public:
    // Bytes per second after this sample; 0 until half a second of samples is in.
    double add(qint64 ms, qint64 bytesDone);
    void restart() { m_samples.clear(); }

private:
    std::deque<std::pair<qint64, qint64>> m_samples;
};

// A read-back's outcome, in the words the window's box and `kestrane-cli burn --verify` both say.
struct ReadBackVerdict
{
    bool intact = false; // every file compared and matched
    QString text;
};
ReadBackVerdict ReadBackVerdictOf(const ReadBack &readBack);
