#include "Artwork.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

void smallDisc(QPainter &p, QPointF c, qreal r)
{
    p.save();
    p.setPen(Qt::NoPen);
    QRadialGradient surface(c, r);
    surface.setColorAt(0.0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(0.75, QColor(0xc4, 0xd1, 0xe3));
    surface.setColorAt(1.0, QColor(0x8f, 0xa4, 0xc2));
    p.setBrush(surface);
    p.drawEllipse(c, r, r);
    QConicalGradient sheen(c, 35);
    sheen.setColorAt(0.00, QColor(255, 140, 120, 0));
    sheen.setColorAt(0.10, QColor(255, 210, 110, 140));
    sheen.setColorAt(0.20, QColor(120, 220, 170, 140));
    sheen.setColorAt(0.30, QColor(110, 160, 255, 140));
    sheen.setColorAt(0.40, QColor(190, 120, 255, 0));
    sheen.setColorAt(0.55, QColor(255, 140, 120, 0));
    sheen.setColorAt(0.65, QColor(255, 210, 110, 110));
    sheen.setColorAt(0.75, QColor(110, 160, 255, 110));
    sheen.setColorAt(0.85, QColor(190, 120, 255, 0));
    sheen.setColorAt(1.00, QColor(255, 140, 120, 0));
    p.setBrush(sheen);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(c, r * 0.33, r * 0.33);
    p.setBrush(Palette::Night);
    p.drawEllipse(c, r * 0.12, r * 0.12);
    p.restore();
}

// A raised, lightly shaded field with a soft shadow beneath it.
void raisedField(QPainter &p, const QRectF &r, qreal radius, const QColor &top, const QColor &bottom)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(5, 20, 45, 90));
    p.drawRoundedRect(r.translated(0, 2), radius, radius);
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    p.setBrush(fill);
    p.setPen(QPen(QColor(10, 40, 85), 1));
    p.drawRoundedRect(r, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
}

// A white field sunk into the frame.
void sunkenField(QPainter &p, const QRectF &r, qreal radius)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRoundedRect(r.translated(0, 1.5), radius, radius);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(8, 34, 72), 1));
    p.drawRoundedRect(r, radius, radius);
    // A faint inner shade along the top edge gives the field depth.
    QLinearGradient shade(r.topLeft(), r.topLeft() + QPointF(0, 6));
    shade.setColorAt(0, QColor(18, 60, 115, 55));
    shade.setColorAt(1, QColor(18, 60, 115, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shade);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -r.height() + 7), radius - 1, radius - 1);
}

} // namespace

QImage paintSkin(int scale)
{
    QImage skin(ArtworkFiles::SkinWidth * scale, ArtworkFiles::SkinHeight * scale, QImage::Format_RGB32);
    skin.fill(Qt::black);
    QPainter p(&skin);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // The rightmost column stays black: it never belongs to the window.
    QPainterPath body;
    body.addRoundedRect(QRectF(0.5, 0.5, 716, 462), 24, 24);
    QLinearGradient blue(0, 0, 0, 463);
    blue.setColorAt(0.0, QColor(0x2c, 0x72, 0xc4));
    blue.setColorAt(0.45, QColor(0x1e, 0x5a, 0xa6));
    blue.setColorAt(1.0, QColor(0x12, 0x3c, 0x73));
    p.setPen(QPen(QColor(6, 22, 46), 1.5));
    p.setBrush(blue);
    p.drawPath(body);

    // The top bar: dark, with a curved lower edge that sweeps down over the left panel.
    QPainterPath bar;
    bar.moveTo(0, 0);
    bar.lineTo(718, 0);
    bar.lineTo(718, 88);
    bar.lineTo(230, 88);
    bar.cubicTo(180, 88, 175, 100, 120, 100);
    bar.lineTo(0, 100);
    bar.closeSubpath();
    p.save();
    p.setClipPath(body);
    QLinearGradient night(0, 0, 0, 100);
    night.setColorAt(0.0, QColor(0x17, 0x3f, 0x78));
    night.setColorAt(1.0, Palette::Night);
    p.setPen(Qt::NoPen);
    p.setBrush(night);
    p.drawPath(bar);
    // Gloss on the upper half of the bar.
    QLinearGradient gloss(0, 0, 0, 40);
    gloss.setColorAt(0.0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(gloss);
    p.drawRect(QRectF(0, 0, 718, 40));
    // A thin light line where the bar meets the frame.
    QPainterPath edge;
    edge.moveTo(718, 88.5);
    edge.lineTo(230, 88.5);
    edge.cubicTo(180, 88.5, 175, 100.5, 120, 100.5);
    edge.lineTo(0, 100.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x6f, 0xb1, 0xf5, 170), 1.2));
    p.drawPath(edge);
    p.restore();

    // Logo and name.
    smallDisc(p, QPointF(46, 48), 27);
    p.setPen(Qt::white);
    p.setFont(Palette::font(30, true));
    p.drawText(QRectF(84, 18, 180, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kestrane"));
    p.setPen(Palette::Ice);
    p.setFont(Palette::font(11));
    p.drawText(QRectF(86, 56, 180, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("ISO images and discs"));

    // A dark pill behind the two title-bar buttons.
    p.setPen(QPen(QColor(255, 255, 255, 40), 1));
    p.setBrush(QColor(3, 14, 32, 120));
    p.drawRoundedRect(QRectF(644.5, 6.5, 57, 30), 9, 9);

    // Thin separators between the top-bar buttons.
    p.setPen(QPen(QColor(255, 255, 255, 45), 1));
    for (qreal x : {261.5, 386.5, 591.5})
        p.drawLine(QPointF(x, 46), QPointF(x, 82));

    raisedField(p, QRectF(9.5, 106.5, 148, 266), 12, QColor(0xf3, 0xf8, 0xfe), QColor(0xc6, 0xdb, 0xf3));
    sunkenField(p, QRectF(170.5, 90.5, 531, 283), 6);
    sunkenField(p, QRectF(166.5, 380.5, 508, 66), 6);

    // The maker's mark in the lower left corner.
    p.setPen(Palette::Amber);
    QFont mark = Palette::font(12, true);
    mark.setLetterSpacing(QFont::AbsoluteSpacing, 2.5);
    p.setFont(mark);
    p.drawText(QRectF(14, 392, 140, 18), Qt::AlignHCenter | Qt::AlignVCenter, QStringLiteral("VARNHOLT"));
    p.setPen(QColor(0xb8, 0xd4, 0xf2));
    p.setFont(Palette::font(10));
    p.drawText(QRectF(14, 412, 140, 16), Qt::AlignHCenter | Qt::AlignVCenter,
               QStringLiteral("disc image studio"));
    p.end();
    return skin;
}

bool savePicture(const QImage &image, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "PNG");
}

bool savePicture(const QImage &image, const QString &programFolder, const QString &file, int scale)
{
    const QString name = scale == 1 ? file : ArtworkFiles::atHighRatio(file);
    return savePicture(image, programFolder + QLatin1Char('/') + name);
}

bool drawSkin(const QString &programFolder, const QImage &skin, int scale)
{
    return savePicture(skin, programFolder, ArtworkFiles::skin(), scale);
}
