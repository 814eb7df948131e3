#include "Artwork.h"
#include "Palette.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

bool drawAppIcon(const QString &programFolder)
{
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(16, 16);

    QRadialGradient surface(centre, 15);
    surface.setColorAt(0.0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(1.0, QColor(0x8e, 0xa2, 0xbd));
    p.setPen(QPen(Palette::Deep, 1));
    p.setBrush(surface);
    p.drawEllipse(centre, 14.5, 14.5);

    QConicalGradient sheen(centre, 40);
    sheen.setColorAt(0.0, QColor(255, 150, 120, 0));
    sheen.setColorAt(0.1, QColor(255, 220, 110, 150));
    sheen.setColorAt(0.2, QColor(110, 170, 255, 150));
    sheen.setColorAt(0.3, QColor(190, 120, 255, 0));
    sheen.setColorAt(1.0, QColor(255, 150, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawEllipse(centre, 14, 14);

    p.setBrush(Palette::Sky);
    p.drawEllipse(centre, 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 2, 2);

    // The list-file mark: three lines on an amber card in the corner.
    p.setBrush(Palette::Amber);
    p.setPen(QPen(Palette::Ink, 0.8));
    p.drawRoundedRect(QRectF(17.5, 17.5, 13, 13), 2, 2);
    p.setPen(QPen(Palette::Ink, 1.2));
    for (int y : {21, 24, 27})
        p.drawLine(QPointF(20, y), QPointF(28, y));
    p.end();
    return icon.save(programFolder + QStringLiteral("/App.ico"), "ICO");
}
