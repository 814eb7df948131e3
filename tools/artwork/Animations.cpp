#include "Artwork.h"
#include "GifWriter.h"
#include "Palette.h"

#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 100;
constexpr int kFrames = 24;

void background(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0.0, Palette::Ice.lighter(104));
    sky.setColorAt(1.0, Qt::white);
    p.fillRect(0, 0, kWidth, kHeight, sky);
}

void disc(QPainter &p, QPointF centre, qreal radius, qreal angle)
{
    p.save();
    p.translate(centre);
    p.rotate(angle);
    p.setPen(QPen(Palette::Deep, 1.2));
    QRadialGradient surface(QPointF(), radius);
    surface.setColorAt(0.0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(1.0, QColor(0x9a, 0xab, 0xc2));
    p.setBrush(surface);
    p.drawEllipse(QPointF(), radius, radius);
    QConicalGradient sheen(QPointF(), 0);
    sheen.setColorAt(0.0, QColor(255, 150, 120, 0));
    sheen.setColorAt(0.1, QColor(255, 220, 110, 170));
    sheen.setColorAt(0.2, QColor(110, 170, 255, 170));
    sheen.setColorAt(0.3, QColor(190, 120, 255, 0));
    sheen.setColorAt(0.5, QColor(255, 150, 120, 0));
    sheen.setColorAt(0.6, QColor(255, 220, 110, 170));
    sheen.setColorAt(0.7, QColor(110, 170, 255, 170));
    sheen.setColorAt(0.8, QColor(190, 120, 255, 0));
    sheen.setColorAt(1.0, QColor(255, 150, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawEllipse(QPointF(), radius - 1, radius - 1);
    p.setBrush(Palette::Sky);
    p.drawEllipse(QPointF(), radius * 0.3, radius * 0.3);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(), radius * 0.12, radius * 0.12);
    p.restore();
}

// A page with a folded corner; `label` is written on it.
void document(QPainter &p, QRectF r, const QString &label, const QColor &accent)
{
    QPainterPath page;
    const qreal fold = r.width() * 0.28;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(Palette::Ink, 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(Palette::Ice);
    p.drawPolygon(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)}));
    if (!label.isEmpty()) {
        p.setBrush(accent);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(r.left() - 3, r.bottom() - 16, r.width() + 6, 12), 2, 2);
        p.setPen(Qt::white);
        p.setFont(Palette::font(9, true));
        p.drawText(QRectF(r.left() - 3, r.bottom() - 16, r.width() + 6, 12), Qt::AlignCenter, label);
    } else {
        p.setPen(QPen(Palette::Sky, 1.5));
        for (int i = 0; i < 3; ++i) {
            const qreal y = r.top() + fold + 4 + i * 5;
            p.drawLine(QPointF(r.left() + 4, y), QPointF(r.right() - 4, y));
        }
    }
}

// Three chevrons that light up one after another, left to right.
void flow(QPainter &p, qreal left, qreal top, int frame)
{
    for (int i = 0; i < 3; ++i) {
        const qreal phase = std::fmod(frame / qreal(kFrames) * 3.0 - i + 3.0, 3.0);
        QColor c = Palette::Amber;
        c.setAlphaF(phase < 1.0 ? 1.0 - phase * 0.7 : 0.25);
        p.setPen(QPen(c, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const qreal x = left + i * 22;
        p.drawPolyline(QPolygonF({QPointF(x, top), QPointF(x + 10, top + 12), QPointF(x, top + 24)}));
    }
}

QImage cdToIsoFrame(int frame)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    background(p);
    disc(p, QPointF(108, 40), 30, frame * 360.0 / kFrames);
    flow(p, 170, 28, frame);
    document(p, QRectF(262, 10, 44, 56), QStringLiteral("ISO"), Palette::Deep);
    return image;
}

QImage fileToIsoFrame(int frame)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    background(p);
    // A small stack of files feeding the image: the top one slides across.
    document(p, QRectF(72, 16, 30, 40), QString(), Palette::Sky);
    document(p, QRectF(80, 12, 30, 40), QString(), Palette::Sky);
    const qreal t = frame / qreal(kFrames);
    const qreal x = 88 + t * 160;
    p.setOpacity(t < 0.85 ? 1.0 : (1.0 - t) / 0.15);
    document(p, QRectF(x, 8 + std::sin(t * M_PI) * -4, 30, 40), QString(), Palette::Sky);
    p.setOpacity(1.0);
    flow(p, 150, 22, frame);
    document(p, QRectF(262, 10, 44, 56), QStringLiteral("ISO"), Palette::Deep);
    return image;
}

} // namespace

bool drawAnimations(const QString &programFolder)
{
    QDir().mkpath(programFolder + QStringLiteral("/fla"));
    QList<QImage> cd, files;
    for (int i = 0; i < kFrames; ++i) {
        cd.append(cdToIsoFrame(i));
        files.append(fileToIsoFrame(i));
    }
    return writeAnimatedGif(programFolder + QStringLiteral("/fla/cdtoiso.gif"), cd, 6) &&
        writeAnimatedGif(programFolder + QStringLiteral("/fla/filetoiso.gif"), files, 6);
}
