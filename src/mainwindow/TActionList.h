#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QAction;

// The main window's commands. Each action has a category; "sys" marks those that stay usable
// while a burn runs.
class TActionList final : public QObject
{
    Q_OBJECT
public:
    explicit TActionList(QObject *parent = nullptr);

    QAction *add(const QString &name, const QString &category = {});
    QList<QAction *> actions() const { return m_actions; }
    QAction *action(const QString &name) const;
    static QString Category(const QAction *action);

private:
    QList<QAction *> m_actions;
};
