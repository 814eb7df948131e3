#pragma once

class QString;
class QWidget;

// Whether the user is looking at the program: the active window is `window`'s own top-level window or
// one of the windows it owns (a dialog, a message box).
bool isWindowActive(const QWidget *window);

// The end of a long job is also told to the desktop when the user is elsewhere, with the text of the
// box that tells it in the window.
void notifyIfInactive(const QWidget *window, const QString &text);
