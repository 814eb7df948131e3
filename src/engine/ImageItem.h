#pragma once

#include <QDateTime>
#include <QString>

// One item of an engine's image, as its events and its listing report it.
struct ImageItem
{
    QString parentDest;
    QString itemDest;
    QString name;
    QString sourcePath;
    bool isDirectory = false;
    QDateTime date;
    qint64 size = 0;
};
