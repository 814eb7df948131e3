#include "jobs/JobEndNotice.h"

#include "core/DesktopNotifier.h"

#include <QApplication>
#include <QString>
#include <QWidget>

namespace {

const QWidget *outermost(const QWidget *widget)
{
    while (widget && widget->parentWidget())
        widget = widget->parentWidget();
    return widget;
}

} // namespace

bool isWindowActive(const QWidget *window)
{
    const QWidget *active = QApplication::activeWindow();
    return active && window && outermost(active) == outermost(window);
}

void notifyIfInactive(const QWidget *window, const QString &text)
{
    if (!isWindowActive(window))
        DesktopNotifier::notify(QStringLiteral("Kestrane"), text);
}
