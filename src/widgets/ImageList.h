#pragma once

#include <QIcon>
#include <QList>
#include <QString>

// The 16 x 16 image list shared by the image tree, the file list and the picker:
// 0 open folder, 1 closed folder, 2 compact disc, 3 blank document, 4 folder with an upward arrow,
// 5 window with coloured tiles. A picture that cannot be read is an empty icon.
QList<QIcon> LoadImageList(const QString &exeFolder);
