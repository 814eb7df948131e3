#include "widgets/ImageList.h"

#include "widgets/ArtworkFiles.h"

#include <QPixmap>

QList<QIcon> LoadImageList(const QString &exeFolder)
{
    QList<QIcon> icons;
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i) {
        const QString file = exeFolder + ArtworkFiles::imageList(i);
        // Given the file's name, QIcon also takes the "@2x" drawing beside it on finer screens.
        icons.append(QPixmap(file).isNull() ? QIcon() : QIcon(file));
    }
    return icons;
}
