#include "widgets/ImageList.h"

#include "widgets/ArtworkFiles.h"
#include "widgets/RatioPicture.h"

#include <QHash>
#include <QImage>
#include <QPixmap>

namespace {

struct ListPicture
{
    QImage plain;
    QImage high; // its drawing for finer screens
};

// Read once for the run: both pages and the picker make their icons from them. Kept as images, which
// may outlive the application, unlike pixmaps.
const QList<ListPicture> &listPictures(const QString &exeFolder)
{
    static QHash<QString, QList<ListPicture>> read;
    if (const auto found = read.constFind(exeFolder); found != read.cend())
        return *found;
    QList<ListPicture> pictures;
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i) {
        const QString file = exeFolder + ArtworkFiles::imageList(i);
        pictures.append(
            {RatioPicture::readFile(file), RatioPicture::readFile(ArtworkFiles::atHighRatio(file))});
    }
    return *read.insert(exeFolder, pictures);
}

} // namespace

QList<QIcon> LoadImageList(const QString &exeFolder)
{
    QList<QIcon> icons;
    for (const ListPicture &picture : listPictures(exeFolder)) {
        if (picture.plain.isNull()) {
            icons.append(QIcon());
            continue;
        }
        QIcon icon(QPixmap::fromImage(picture.plain));
        // On finer screens the icon draws the finer drawing, when it is exactly twice the size.
        if (picture.high.size() == picture.plain.size() * ArtworkFiles::HighRatio) {
            QImage high = picture.high;
            high.setDevicePixelRatio(ArtworkFiles::HighRatio);
            icon.addPixmap(QPixmap::fromImage(high));
        }
        icons.append(icon);
    }
    return icons;
}
