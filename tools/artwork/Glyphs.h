#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The small line pictures used on buttons and banners, drawn on a 24 x 24 grid scaled to `box`.
enum class Glyph {
    Disc,
    DiscCopy,
    Files,
    Flame,
    Info,
    Flag,
    Envelope,
    LifeRing,
    Plus,
    Minus,
    Trash,
    SaveDown,
    LoadUp,
    Stop,
    Erase,
};

void drawGlyph(QPainter &p, Glyph glyph, const QRectF &box, const QColor &ink, const QColor &accent);
