#pragma once

#include <QColor>
#include <QFont>

// One palette for every picture, so the program looks like one product.
namespace Palette {
inline const QColor Night(0x0b, 0x1f, 0x3a);
inline const QColor Deep(0x12, 0x3c, 0x73);
inline const QColor Sky(0x2f, 0x7f, 0xd1);
inline const QColor Ice(0xd8, 0xea, 0xfb);
inline const QColor Amber(0xf2, 0xa5, 0x3a);
inline const QColor Ink(0x1a, 0x24, 0x33);

inline QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}
} // namespace Palette
