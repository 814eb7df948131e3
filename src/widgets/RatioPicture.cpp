#include "widgets/RatioPicture.h"

#include "widgets/ArtworkFiles.h"
#include "widgets/PictureReadAhead.h"

#include <QGuiApplication>
#include <QImageReader>

#include <cmath>

QImage RatioPicture::readFile(const QString &path)
{
    if (std::optional<QImage> readAhead = PictureReadAhead::take(path))
        return *std::move(readAhead);
    QImageReader reader(path);
    return reader.read();
}

qreal RatioPicture::screenRatio()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QImage RatioPicture::read(const QString &path, qreal ratio)
{
    if (ratio > 1) {
        // What was read ahead is drawn for one pixel per point.
        PictureReadAhead::discard();
        // A picture of another size would move everything laid out by the plain one's size.
        const QSize plain = QImageReader(path).size();
        QImage high = readFile(ArtworkFiles::atHighRatio(path));
        if (!high.isNull() && (!plain.isValid() || high.size() == plain * ArtworkFiles::HighRatio)) {
            high.setDevicePixelRatio(ArtworkFiles::HighRatio);
            return high;
        }
    }
    return readFile(path);
}

QImage RatioPicture::fitted(const QImage &image, qreal ratio)
{
    const qreal own = image.devicePixelRatio();
    if (image.isNull() || ratio <= 0 || qFuzzyCompare(own, ratio) || (own == 1 && ratio > 1))
        return image;
    const QSizeF points = image.deviceIndependentSize();
    const QSize pixels(static_cast<int>(std::lround(points.width() * ratio)),
                       static_cast<int>(std::lround(points.height() * ratio)));
    QImage out = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    out.setDevicePixelRatio(ratio);
    return out;
}

QImage RatioPicture::readFitted(const QString &path, qreal ratio)
{
    return fitted(read(path, ratio), ratio);
}
