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

    // The main window's commands by name, made by its action set-up.
    QAction *ActCDTOISO = nullptr;
    QAction *ActFILETOISO = nullptr;
    QAction *ActBURNISO = nullptr;
    QAction *ActFileAdd = nullptr;
    QAction *ActFileDel = nullptr;
    QAction *ActFileClear = nullptr;
    QAction *ActCDTOISOExec = nullptr;
    QAction *ActFILETOISOExec = nullptr;
    QAction *ActSaveFileList = nullptr;
    QAction *ActLoadFileList = nullptr;
    QAction *ActBURNISOExec = nullptr;
    QAction *ActCancelBURNISOExec = nullptr;
    QAction *ActApplicationClose = nullptr;
    QAction *ActMainFormMinSize = nullptr;
    QAction *ActWebsite = nullptr;
    QAction *ActEMail = nullptr;
    QAction *ActContent = nullptr;
    QAction *ActAbout = nullptr;

private:
    QList<QAction *> m_actions;
};
