#pragma once

#include <QString>

// Tells the desktop that a job has ended, through the notification service on the session bus. The
// caller decides when (a job ended while the main window was not active). The message is sent without
// waiting for an answer: without a notification service nothing is shown and nothing waits.
class DesktopNotifier final
{
public:
    static void notify(const QString &title, const QString &body);
};
