#include "widgets/TsuiPicture.h"

#include "widgets/RatioPicture.h"

namespace {

QImage keyOut(const QImage &source)
{
    QImage keyed = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, 0) | 0xff000000u;
    const int width = keyed.width();
    for (int y = 0; y < keyed.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(keyed.scanLine(y));
        for (int x = 0; x < width; ++x) {
            if ((line[x] | 0xff000000u) == key)
                line[x] = 0;
        }
    }
    return keyed;
}

} // namespace

TsuiPicture::TsuiPicture(const QImage &image)
    : m_assigned(true)
    , m_image(image)
{ }

TsuiPicture::TsuiPicture(const QImage &image, const QImage &keyed)
    : m_assigned(true)
    , m_image(image)
    , m_keyed(keyed)
{ }

TsuiPicture TsuiPicture::fromFile(const QString &path)
{
    return fromFile(path, RatioPicture::screenRatio());
}

TsuiPicture TsuiPicture::fromFile(const QString &path, qreal ratio)
{
    const QImage read = RatioPicture::read(path, ratio);
    const QImage drawn = RatioPicture::fitted(read, ratio);
    if (drawn.size() == read.size())
        return TsuiPicture(drawn);
    // The key colour is cut out before resampling: resampled, it would blend into the edge pixels
    // beside it and leave a coloured fringe that no longer matches the key.
    return TsuiPicture(drawn, RatioPicture::fitted(keyOut(read), ratio));
}

QImage TsuiPicture::blankBitmap()
{
    QImage blank(74, 21, QImage::Format_RGB32);
    blank.fill(Qt::white);
    return blank;
}

QImage TsuiPicture::bitmap() const
{
    if (!m_assigned)
        return {};
    return m_image.isNull() ? blankBitmap() : m_image;
}

QImage TsuiPicture::keyedBitmap() const
{
    // Made when first drawn: only the buttons drawn transparent draw it.
    if (!m_keyed && m_assigned)
        m_keyed = keyOut(bitmap());
    return m_keyed.value_or(QImage());
}
