#include "Artwork.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace {

// A stylised disc: silver surface with a rainbow sheen, the clear hub and the centre hole.
void drawDisc(QPainter &p, QPointF centre, qreal radius)
{
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient surface(centre, radius);
    surface.setColorAt(0.0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(0.7, QColor(0xc9, 0xd4, 0xe2));
    surface.setColorAt(1.0, QColor(0x9a, 0xab, 0xc2));
    p.setBrush(surface);
    p.drawEllipse(centre, radius, radius);

    QConicalGradient sheen(centre, 30);
    sheen.setColorAt(0.00, QColor(255, 120, 160, 0));
    sheen.setColorAt(0.08, QColor(255, 140, 120, 110));
    sheen.setColorAt(0.16, QColor(255, 230, 120, 110));
    sheen.setColorAt(0.24, QColor(120, 230, 160, 110));
    sheen.setColorAt(0.32, QColor(110, 170, 255, 110));
    sheen.setColorAt(0.40, QColor(190, 120, 255, 0));
    sheen.setColorAt(0.50, QColor(255, 120, 160, 0));
    sheen.setColorAt(0.58, QColor(255, 140, 120, 90));
    sheen.setColorAt(0.66, QColor(255, 230, 120, 90));
    sheen.setColorAt(0.74, QColor(120, 230, 160, 90));
    sheen.setColorAt(0.82, QColor(110, 170, 255, 90));
    sheen.setColorAt(0.90, QColor(190, 120, 255, 0));
    sheen.setColorAt(1.00, QColor(255, 120, 160, 0));
    p.setBrush(sheen);
    p.drawEllipse(centre, radius, radius);

    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(centre, radius * 0.34, radius * 0.34);
    p.setBrush(QColor(0xa9, 0xb8, 0xcc));
    p.drawEllipse(centre, radius * 0.22, radius * 0.22);
    p.setBrush(Palette::Night);
    p.drawEllipse(centre, radius * 0.11, radius * 0.11);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 160), 1.2));
    p.drawEllipse(centre, radius - 0.6, radius - 0.6);
    p.restore();
}

} // namespace

bool drawSplash(const QString &programFolder, int scale)
{
    const QRectF whole(0, 0, 403, 203);
    QImage image(403 * scale, 203 * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 403, 203);
    sky.setColorAt(0.0, Palette::Night);
    sky.setColorAt(0.6, Palette::Deep);
    sky.setColorAt(1.0, Palette::Sky);
    p.fillRect(whole, sky);

    // Soft light behind the disc.
    QRadialGradient glow(QPointF(92, 101), 120);
    glow.setColorAt(0.0, QColor(255, 255, 255, 60));
    glow.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(whole, glow);

    drawDisc(p, QPointF(92, 104), 66);

    p.setPen(Qt::white);
    p.setFont(Palette::font(38, true));
    p.drawText(QRectF(176, 44, 222, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrane"));
    p.setPen(Palette::Ice);
    p.setFont(Palette::font(12));
    p.drawText(QRectF(178, 98, 222, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("ISO images and discs, made simple"));
    p.setPen(Palette::Amber);
    p.setFont(Palette::font(11, true));
    p.drawText(QRectF(178, 128, 220, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VARNHOLT"));

    p.setPen(QColor(255, 255, 255, 140));
    p.setFont(Palette::font(10));
    p.drawText(QRectF(178, 170, 215, 18), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Loading\u2026"));
    p.end();

    QDir().mkpath(programFolder + QStringLiteral("/Image"));
    const QString file = QStringLiteral("/Image/Kestrane.jpg");
    return image.save(programFolder + (scale > 1 ? ArtworkFiles::atHighRatio(file) : file), "JPEG", 92);
}
