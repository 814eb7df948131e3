#include "Artwork.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

QPainterPath ridge(qreal baseY, const QList<QPointF> &peaks, qreal width, qreal height)
{
    QPainterPath path;
    path.moveTo(0, height);
    path.lineTo(0, baseY);
    for (const QPointF &peak : peaks)
        path.lineTo(peak);
    path.lineTo(width, baseY);
    path.lineTo(width, height);
    path.closeSubpath();
    return path;
}

} // namespace

// The About window's picture: a quiet mountain lake at dusk, in the product's palette.
bool drawAboutPicture(const QString &programFolder, int scale)
{
    const int w = 223, h = 358;
    QImage image(w * scale, h * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 210);
    sky.setColorAt(0.0, Palette::Night);
    sky.setColorAt(0.55, Palette::Deep);
    sky.setColorAt(0.85, QColor(0xe9, 0x8f, 0x5a));
    sky.setColorAt(1.0, QColor(0xf6, 0xc9, 0x7f));
    p.fillRect(0, 0, w, 210, sky);

    QRadialGradient sun(QPointF(150, 176), 46);
    sun.setColorAt(0.0, QColor(255, 244, 214));
    sun.setColorAt(0.35, QColor(255, 214, 150, 200));
    sun.setColorAt(1.0, QColor(255, 200, 140, 0));
    p.fillRect(0, 100, w, 110, sun);

    p.setPen(Qt::NoPen);
    for (const QPointF &star : {QPointF(20, 24), QPointF(62, 50), QPointF(110, 18), QPointF(180, 40),
                                QPointF(200, 12), QPointF(140, 64), QPointF(36, 80)}) {
        p.setBrush(QColor(255, 255, 255, 170));
        p.drawEllipse(star, 1.1, 1.1);
    }

    p.setBrush(QColor(0x3a, 0x4e, 0x7a));
    p.drawPath(
        ridge(170, {{0, 150}, {40, 118}, {74, 148}, {112, 104}, {160, 150}, {196, 126}, {223, 146}}, w, 212));
    p.setBrush(QColor(0x24, 0x33, 0x55));
    p.drawPath(ridge(200, {{0, 172}, {30, 160}, {70, 184}, {120, 158}, {168, 186}, {223, 166}}, w, 212));

    // Water: the sky again, darker and broken into ripples.
    QLinearGradient water(0, 210, 0, h);
    water.setColorAt(0.0, QColor(0xc9, 0x85, 0x5f));
    water.setColorAt(0.25, QColor(0x3c, 0x4f, 0x7c));
    water.setColorAt(1.0, Palette::Night);
    p.fillRect(0, 210, w, h - 210, water);
    p.setPen(QPen(QColor(255, 226, 180, 120), 1.2));
    for (int i = 0; i < 9; ++i) {
        const qreal y = 216 + i * 7.5;
        const qreal half = 34 - i * 3.2;
        p.drawLine(QPointF(150 - half, y), QPointF(150 + half, y));
    }

    // Shore and pines in silhouette.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0d, 0x16, 0x28));
    p.drawPath(ridge(300, {{0, 268}, {60, 290}, {120, 312}, {223, 330}}, w, h));
    for (const auto &[x, base, size] :
         {std::tuple {18.0, 282.0, 46.0}, {40.0, 290.0, 34.0}, {62.0, 296.0, 40.0}, {188.0, 324.0, 28.0}}) {
        QPainterPath pine;
        pine.moveTo(x, base - size);
        pine.lineTo(x + size * 0.28, base);
        pine.lineTo(x - size * 0.28, base);
        pine.closeSubpath();
        p.drawPath(pine);
    }
    p.end();
    QDir().mkpath(programFolder + QStringLiteral("/Image"));
    const QString file = QLatin1Char('/') + ArtworkFiles::about();
    return image.save(programFolder + (scale > 1 ? ArtworkFiles::atHighRatio(file) : file), "PNG");
}
