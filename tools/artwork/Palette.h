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
inline const QColor Mist(0xf2, 0xf7, 0xfd);
inline const QColor Steel(0x4f, 0x6b, 0x8f);
inline const QColor Rule(0x9d, 0xbb, 0xe0);
inline const QColor Coral(0xd9, 0x44, 0x3c);
inline const QColor Leaf(0x36, 0xa3, 0x5a);
inline const QColor Straw(0xf4, 0xc4, 0x44);

inline QFont font(int pixelSize, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

// The narrow cut, for labels that must fit a small picture.
inline QFont condensed(int pixelSize, bool bold = false)
{
    QFont f = font(pixelSize, bold);
    f.setFamily(QStringLiteral("DejaVu Sans Condensed"));
    return f;
}
} // namespace Palette
