#include "mainwindow/TNotebook.h"

#include <QMouseEvent>

TNotebook::TNotebook(QWidget *parent)
    : QStackedWidget(parent)
{
    setObjectName(QStringLiteral("Notebook"));
    setMouseTracking(true);
}

void TNotebook::addPage(QWidget *page)
{
    // Moves over the page's free space pass up to the notebook (QWidget ignores them).
    page->setMouseTracking(true);
    addWidget(page);
}

QWidget *TNotebook::page(const QString &name) const
{
    for (int i = 0; i < count(); ++i) {
        if (widget(i)->objectName() == name)
            return widget(i);
    }
    return nullptr;
}

QString TNotebook::ActivePage() const
{
    return currentWidget() ? currentWidget()->objectName() : QString();
}

void TNotebook::setActivePage(const QString &name)
{
    if (QWidget *target = page(name))
        setCurrentWidget(target);
}

void TNotebook::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT OnMouseMove(event->position().toPoint());
    QStackedWidget::mouseMoveEvent(event);
}
