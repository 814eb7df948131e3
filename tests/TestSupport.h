#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Small helpers shared by the test programs.
namespace TestSupport {
QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &bytes);
// Runs the event loop until the predicate holds or the time runs out; answers the predicate.
template<typename Predicate>
bool waitFor(Predicate predicate, int timeoutMs);
// Runs the event loop until a message box (in test mode) has shown the text, or the time runs out.
bool waitForMessage(const QString &text, int timeoutMs = 60000);
// Runs the function in a forked child that has dropped root rights (when it had them) and answers
// the lines it returned; for checks of file permissions, which root ignores.
QStringList runUnprivileged(const std::function<QStringList()> &body);
// Whether an update-mime-database over a folder below `folder` is still running. The program
// starts one in the background; a test waits for it before it removes its folder, or the tool
// would make the folder again behind it.
bool mimeToolRunning(const QString &folder);
bool waitForMimeTool(const QString &folder, int timeoutMs = 30000);
} // namespace TestSupport

#include <QCoreApplication>
#include <QDeadlineTimer>

template<typename Predicate>
bool TestSupport::waitFor(Predicate predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}
