#pragma once

#include <QElapsedTimer>
#include <QString>

// Progress on standard error: a bar with percent, speed and time left on a terminal, one line per
// 10 % elsewhere (a log, a pipe), nothing with --quiet.
class CliProgress final
{
public:
    CliProgress(const QString &what, bool quiet);
    ~CliProgress();
    CliProgress(const CliProgress &) = delete;
    CliProgress &operator=(const CliProgress &) = delete;

    void update(qint64 done, qint64 total);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void finish();

private:
    QString m_what;
    bool m_quiet;
    bool m_terminal;
    bool m_drawn = false;
    int m_lastTenth = -1;
    QElapsedTimer m_elapsed;
    qint64 m_lastDraw = -1000;
};
