#pragma once

#include <QByteArray>
#include <QString>

// Small helpers shared by the test programs.
namespace TestSupport {
QByteArray readAll(const QString &path);
void writeAll(const QString &path, const QByteArray &bytes);
// Runs the event loop until the predicate holds or the time runs out; answers the predicate.
template<typename Predicate>
bool waitFor(Predicate predicate, int timeoutMs);
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
