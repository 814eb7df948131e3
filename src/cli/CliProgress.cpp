#include "cli/CliProgress.h"
#include "base/StdErr.h"

#include <unistd.h>

namespace {

constexpr int BarWidth = 30;
constexpr qint64 DrawEveryMs = 200;

QString duration(qint64 seconds)
{
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CliProgress::CliProgress(const QString &what, bool quiet)
    : m_what(what)
    , m_quiet(quiet)
    , m_terminal(::isatty(STDERR_FILENO) == 1)
{
    m_elapsed.start();
}

CliProgress::~CliProgress()
{
    finish();
}

void CliProgress::update(qint64 done, qint64 total)
{
    if (m_quiet || total <= 0)
        return;
    done = std::clamp<qint64>(done, 0, total);
    const int percent = int(done * 100 / total);
    if (!m_terminal) {
        const int tenth = percent / 10;
        if (tenth > m_lastTenth) {
            m_lastTenth = tenth;
            StdErr::line(QStringLiteral("%1: %2%").arg(m_what).arg(tenth * 10));
        }
        return;
    }
    const qint64 now = m_elapsed.elapsed();
    if (now - m_lastDraw < DrawEveryMs && done < total)
        return;
    m_lastDraw = now;
    const int filled = int(done * BarWidth / total);
    const double seconds = std::max<double>(now / 1000.0, 0.001);
    const double bytesPerSecond = done / seconds;
    QString line =
        QStringLiteral("\r%1 [%2%3] %4%  %5 MB/s")
            .arg(m_what, QString(filled, QLatin1Char('#')), QString(BarWidth - filled, QLatin1Char('-')))
            .arg(percent, 3)
            .arg(bytesPerSecond / 1048576.0, 0, 'f', 1);
    if (bytesPerSecond > 0 && done < total)
        line += QStringLiteral("  %1 left").arg(duration(qint64((total - done) / bytesPerSecond)));
    line += QStringLiteral("\x1b[K");
    StdErr::write(line);
    m_drawn = true;
}

void CliProgress::finish()
{
    if (m_drawn) {
        StdErr::write(QStringLiteral("\n"));
        m_drawn = false;
    }
}
