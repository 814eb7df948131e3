#include "widgets/ImageList.h"

#include "widgets/ArtworkFiles.h"

#include <QPixmap>

QList<QIcon> LoadImageList(const QString &exeFolder)
{
    QList<QIcon> icons;
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i) {
        const QPixmap picture(exeFolder + ArtworkFiles::imageList(i));
        icons.append(picture.isNull() ? QIcon() : QIcon(picture));
    }
    return icons;
}
