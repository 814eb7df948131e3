#include "core/BurnProgress.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 WindowMs = 4000; // the speed shown is the last four seconds'
constexpr qint64 FirstSpeedMs = 500; // libburn is polled ten times a second

QString stageWord(EngineCodes::BurnStage stage)
{
    switch (stage) {
    case EngineCodes::Preparing:
        return QStringLiteral("Preparing");
    case EngineCodes::Writing:
        return QStringLiteral("Writing");
    case EngineCodes::Closing:
        return QStringLiteral("Closing");
    case EngineCodes::Verifying:
        return QStringLiteral("Verifying");
    case EngineCodes::Erasing:
        return QStringLiteral("Erasing");
    }
    return {};
}

QString duration(qint64 seconds)
{
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2").arg(seconds / 60 % 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600)
        return minutesAndSeconds;
    return QStringLiteral("%1:%2")
        .arg(seconds / 3600)
        .arg(minutesAndSeconds.rightJustified(5, QLatin1Char('0')));
}

} // namespace

int BurnPercent(const BurnProgress &progress)
{
    if (progress.bytesTotal <= 0)
        return 0;
    const qint64 done = std::clamp<qint64>(progress.bytesDone, 0, progress.bytesTotal);
    return int(double(done) / double(progress.bytesTotal) * 100.0);
}

QString BurnProgressText(const BurnProgress &progress)
{
    QString text = stageWord(progress.stage);
    if (progress.bytesTotal <= 0)
        return text;
    text += QStringLiteral(" %1%").arg(BurnPercent(progress));
    const QLocale locale;
    const bool dataMoves = progress.stage == EngineCodes::Writing || progress.stage == EngineCodes::Verifying;
    if (dataMoves && progress.bytesPerSecond > 0) {
        text += QStringLiteral(", %1 MB/s").arg(locale.toString(progress.bytesPerSecond / 1048576.0, 'f', 1));
        if (progress.oneTimes > 0)
            text += QStringLiteral(" (%1\u00d7)")
                        .arg(locale.toString(progress.bytesPerSecond / double(progress.oneTimes), 'f', 1));
    }
    const qint64 left = progress.bytesTotal - progress.bytesDone;
    const bool timed = dataMoves || progress.stage == EngineCodes::Erasing;
    if (timed && progress.bytesPerSecond > 0 && progress.bytesDone > 0 && left > 0)
        text += QStringLiteral(", %1 left")
                    .arg(duration(qint64(std::ceil(double(left) / progress.bytesPerSecond))));
    return text;
}

qint64 OneTimesSpeed(const MediumDetails &medium)
{
    if (medium.virtualDisc || medium.state == MediumDetails::State::NoDisc)
        return 0;
    if (medium.kind.startsWith(QLatin1String("CD")))
        return 75 * 2048; // 75 sectors of data a second
    if (medium.kind.startsWith(QLatin1String("DVD")))
        return 1385000;
    if (medium.kind.startsWith(QLatin1String("BD")))
        return 4500000;
    return 0;
}

double BurnSpeedMeter::add(qint64 ms, qint64 bytesDone)
{
    if (!m_samples.empty() && (ms < m_samples.back().first || bytesDone < m_samples.back().second))
        m_samples.clear(); // the clock or the count started again: a new stretch of work
    m_samples.emplace_back(ms, bytesDone);
    while (m_samples.size() > 2 && ms - m_samples[1].first >= WindowMs)
        m_samples.pop_front();
    const qint64 span = ms - m_samples.front().first;
    if (span < FirstSpeedMs)
        return 0;
    return double(bytesDone - m_samples.front().second) * 1000.0 / double(span);
}

ReadBackVerdict ReadBackVerdictOf(const ReadBack &readBack)
{
    ReadBackVerdict verdict;
    if (!readBack.error.isEmpty()) {
        // Nothing unchecked passes for good: a read-back that could not compare is a failure.
        verdict.text = QStringLiteral("Read back: %1").arg(readBack.error);
        return verdict;
    }
    const int differing = std::max(readBack.filesCompared - readBack.filesMatched, 0);
    if (differing == 0 && readBack.firstDifferingFile.isEmpty()) {
        verdict.intact = true;
        verdict.text =
            QStringLiteral("Read back: %1 files checked, none damaged.").arg(readBack.filesCompared);
        return verdict;
    }
    verdict.text = QStringLiteral("Read back: %1 files checked, %2 %3 from the image")
                       .arg(readBack.filesCompared)
                       .arg(differing)
                       .arg(differing == 1 ? QStringLiteral("differs") : QStringLiteral("differ"));
    if (!readBack.firstDifferingFile.isEmpty())
        verdict.text += QStringLiteral(": the first difference is in %1 at byte offset %2")
                            .arg(readBack.firstDifferingFile)
                            .arg(readBack.firstDifferenceOffset);
    verdict.text += QLatin1Char('.');
    return verdict;
}
