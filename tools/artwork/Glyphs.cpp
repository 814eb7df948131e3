#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

QPen line(const QColor &ink, qreal width = 2.0)
{
    return QPen(ink, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void disc(QPainter &p, QPointF c, qreal r, const QColor &ink, const QColor &accent)
{
    p.setPen(line(ink, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.setPen(line(accent, 1.6));
    p.drawArc(QRectF(c.x() - r * 0.62, c.y() - r * 0.62, r * 1.24, r * 1.24), 30 * 16, 70 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(c, r * 0.22, r * 0.22);
}

void arrow(QPainter &p, QPointF from, QPointF to, const QColor &ink)
{
    p.setPen(line(ink, 2.2));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 4.5 + n * 4.0);
    p.drawLine(to, to - d * 4.5 - n * 4.0);
}

void tray(QPainter &p, const QColor &ink)
{
    p.setPen(line(ink, 2.0));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(4, 14);
    path.lineTo(4, 20);
    path.lineTo(20, 20);
    path.lineTo(20, 14);
    p.drawPath(path);
}

} // namespace

void drawGlyph(QPainter &p, Glyph glyph, const QRectF &box, const QColor &ink, const QColor &accent)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(box.topLeft());
    p.scale(box.width() / 24.0, box.height() / 24.0);
    switch (glyph) {
    case Glyph::Disc:
        disc(p, {12, 12}, 9, ink, accent);
        break;
    case Glyph::DiscCopy:
        disc(p, {9, 10}, 7, ink, accent);
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(14, 11, 8, 10), 1.2, 1.2);
        p.setPen(line(accent, 1.6));
        p.drawLine(QPointF(16, 15), QPointF(20, 15));
        p.drawLine(QPointF(16, 18), QPointF(19, 18));
        break;
    case Glyph::Files: {
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        QPainterPath folder;
        folder.moveTo(3, 7);
        folder.lineTo(9, 7);
        folder.lineTo(11, 9);
        folder.lineTo(21, 9);
        folder.lineTo(21, 19);
        folder.lineTo(3, 19);
        folder.closeSubpath();
        p.drawPath(folder);
        p.setPen(line(accent, 2.0));
        p.drawLine(QPointF(7, 14), QPointF(17, 14));
        break;
    }
    case Glyph::Flame: {
        QPainterPath flame;
        flame.moveTo(12, 3);
        flame.cubicTo(14, 8, 19, 10, 18, 15);
        flame.cubicTo(17.5, 19, 15, 21, 12, 21);
        flame.cubicTo(8.5, 21, 6, 18.5, 6, 15);
        flame.cubicTo(6, 12, 8, 10.5, 9, 9);
        flame.cubicTo(9.5, 11, 10.5, 12, 11.5, 12);
        flame.cubicTo(11, 9, 11, 6, 12, 3);
        p.setPen(line(ink, 1.8));
        p.setBrush(Qt::NoBrush);
        p.drawPath(flame);
        QPainterPath core;
        core.moveTo(12, 13);
        core.cubicTo(13.5, 15, 15, 16, 14.5, 18);
        core.cubicTo(14, 19.5, 10, 19.5, 9.5, 17.5);
        core.cubicTo(9.5, 16, 11, 15, 12, 13);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawPath(core);
        break;
    }
    case Glyph::Info:
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setPen(line(accent, 2.4));
        p.drawLine(QPointF(12, 11), QPointF(12, 17));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(12, 7.3), 1.5, 1.5);
        break;
    case Glyph::Flag: {
        p.setPen(line(ink, 2.0));
        p.drawLine(QPointF(5, 3), QPointF(5, 21));
        QPainterPath flag;
        flag.moveTo(5, 4);
        flag.cubicTo(9, 2, 12, 6, 16, 4.5);
        flag.lineTo(19.5, 4);
        flag.lineTo(19.5, 13);
        flag.cubicTo(15, 14.5, 11, 10.5, 5, 13);
        flag.closeSubpath();
        p.setPen(line(ink, 1.6));
        p.setBrush(accent);
        p.drawPath(flag);
        break;
    }
    case Glyph::Envelope:
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(3, 6, 18, 13), 1.5, 1.5);
        p.setPen(line(accent, 2.0));
        p.drawLine(QPointF(4, 7.5), QPointF(12, 13.5));
        p.drawLine(QPointF(20, 7.5), QPointF(12, 13.5));
        break;
    case Glyph::LifeRing: {
        p.setPen(Qt::NoPen);
        QPainterPath ring;
        ring.addEllipse(QPointF(12, 12), 9.5, 9.5);
        ring.addEllipse(QPointF(12, 12), 4.8, 4.8);
        p.setBrush(ink);
        p.drawPath(ring);
        p.setClipPath(ring);
        p.setBrush(accent);
        for (int quarter = 0; quarter < 4; ++quarter)
            p.drawPie(QRectF(1, 1, 22, 22), (45 + quarter * 90 - 18) * 16, 36 * 16);
        break;
    }
    case Glyph::Plus:
        p.setPen(line(ink, 2.6));
        p.drawLine(QPointF(12, 5), QPointF(12, 19));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        break;
    case Glyph::Minus:
        p.setPen(line(ink, 2.6));
        p.drawLine(QPointF(5, 12), QPointF(19, 12));
        break;
    case Glyph::Trash:
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(4, 6.5), QPointF(20, 6.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(10, 4));
        p.drawLine(QPointF(10, 4), QPointF(14, 4));
        p.drawLine(QPointF(14, 4), QPointF(14.5, 6.5));
        p.drawRoundedRect(QRectF(6.5, 6.5, 11, 14), 1.5, 1.5);
        p.setPen(line(accent, 1.6));
        p.drawLine(QPointF(10, 10), QPointF(10, 17));
        p.drawLine(QPointF(14, 10), QPointF(14, 17));
        break;
    case Glyph::SaveDown:
        tray(p, ink);
        arrow(p, {12, 3}, {12, 15}, accent);
        break;
    case Glyph::LoadUp:
        tray(p, ink);
        arrow(p, {12, 16}, {12, 3.5}, accent);
        break;
    case Glyph::Stop:
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(8.5, 8.5, 7, 7), 1.2, 1.2);
        break;
    case Glyph::Erase: {
        p.setPen(line(ink, 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(4, 4, 16, 16), 60 * 16, 290 * 16);
        const QPointF tip(16.5, 5.2);
        p.setPen(line(ink, 2.0));
        p.drawLine(tip, tip + QPointF(-4.2, -1.4));
        p.drawLine(tip, tip + QPointF(-0.6, 4.2));
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(QPointF(12, 12), 2.2, 2.2);
        break;
    }
    }
    p.restore();
}
