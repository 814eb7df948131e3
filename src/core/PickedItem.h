#pragma once

#include <QList>
#include <QString>

#include "engine/TDVDWriterPro2.h"

// A file or folder chosen to go into the image: from the picker, or named on the command line.
struct PickedItem
{
    QString path; // absolute, cleaned
    QString name; // the name its entry gets in the image, before the engine's own rules
    bool folder = false;
};

// Where a picked item lands in the image and what the engine is asked to add: a folder's whole
// content under a folder of its name, a file as itself.
struct ImageAddition
{
    QString destPath; // "\Folder\name"
    QString source; // a folder's pattern ("/path/*.*") or the file's path
    bool folder = false;
};

// The additions for `items` put into the image folder `destFolder` ("\" or "" for the root).
QList<ImageAddition> AdditionsOf(const QList<PickedItem> &items, const QString &destFolder);
// Adds one to the image, telling `report` of each item made when it is given; throws KestraneError
// when the engine fails.
void AddToImage(TDVDWriterPro2 &engine, const ImageAddition &addition,
                const TDVDWriterPro2::ItemReport &report = {});
