#include "mainwindow/TActionList.h"

#include <QAction>
#include <QVariant>

namespace {
const char *const CategoryProperty = "Category";
}

TActionList::TActionList(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("ActionList1"));
}

QAction *TActionList::add(const QString &name, const QString &category)
{
    auto *action = new QAction(this);
    action->setObjectName(name);
    action->setProperty(CategoryProperty, category);
    m_actions.append(action);
    return action;
}

QAction *TActionList::action(const QString &name) const
{
    for (QAction *a : m_actions) {
        if (a->objectName() == name)
            return a;
    }
    return nullptr;
}

QString TActionList::Category(const QAction *action)
{
    return action ? action->property(CategoryProperty).toString() : QString();
}
