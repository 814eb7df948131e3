#include "Artwork.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace {

const QColor FolderEdge(0xb8, 0x86, 0x14);
const QColor FolderBack(0xe9, 0xb2, 0x2f);

void folderBack(QPainter &p)
{
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.setPen(QPen(FolderEdge, 1));
    p.setBrush(FolderBack);
    p.drawPath(back);
}

void closedFolder(QPainter &p)
{
    folderBack(p);
    QLinearGradient front(0, 6, 0, 14);
    front.setColorAt(0, Palette::Straw.lighter(115));
    front.setColorAt(1, Palette::Straw);
    p.setBrush(front);
    p.drawRect(QRectF(1.5, 6.5, 13, 7));
}

void openFolder(QPainter &p)
{
    folderBack(p);
    p.setPen(QPen(QColor(0xb0, 0xb8, 0xc4), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 4.5, 9, 6));
    QPainterPath front;
    front.moveTo(0.5, 7.5);
    front.lineTo(12.5, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13, 13.5);
    front.lineTo(1.5, 13.5);
    front.closeSubpath();
    QLinearGradient fill(0, 7, 0, 14);
    fill.setColorAt(0, Palette::Straw.lighter(120));
    fill.setColorAt(1, Palette::Straw);
    p.setPen(QPen(FolderEdge, 1));
    p.setBrush(fill);
    p.drawPath(front);
}

void compactDisc(QPainter &p)
{
    QRadialGradient surface(QPointF(8, 8), 7);
    surface.setColorAt(0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(1, QColor(0xa9, 0xb8, 0xcc));
    p.setPen(QPen(QColor(0x6d, 0x80, 0x9b), 1));
    p.setBrush(surface);
    p.drawEllipse(QPointF(8, 8), 6.8, 6.8);
    p.setPen(QPen(QColor(120, 170, 255, 200), 1.2));
    p.drawArc(QRectF(3.5, 3.5, 9, 9), 20 * 16, 70 * 16);
    p.setPen(QPen(QColor(255, 190, 110, 200), 1.2));
    p.drawArc(QRectF(3.5, 3.5, 9, 9), 200 * 16, 70 * 16);
    p.setPen(QPen(QColor(0x6d, 0x80, 0x9b), 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 8), 2.2, 2.2);
}

void blankDocument(QPainter &p)
{
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(0x7a, 0x88, 0x9c), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(0xdd, 0xe4, 0xee));
    QPainterPath fold;
    fold.moveTo(9.5, 1.5);
    fold.lineTo(9.5, 4.5);
    fold.lineTo(12.5, 4.5);
    fold.closeSubpath();
    p.drawPath(fold);
}

void folderUp(QPainter &p)
{
    closedFolder(p);
    p.setPen(QPen(QColor(0x1f, 0x6e, 0x37), 1));
    p.setBrush(Palette::Leaf);
    QPainterPath arrow;
    arrow.moveTo(11, 1);
    arrow.lineTo(15.5, 6);
    arrow.lineTo(12.8, 6);
    arrow.lineTo(12.8, 11.5);
    arrow.lineTo(9.2, 11.5);
    arrow.lineTo(9.2, 6);
    arrow.lineTo(6.5, 6);
    arrow.closeSubpath();
    p.drawPath(arrow);
}

void tiledWindow(QPainter &p)
{
    p.setPen(QPen(Palette::Deep, 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(Palette::Sky);
    p.drawRect(QRectF(2, 3, 12, 2));
    const QColor tiles[] = {Palette::Coral, Palette::Leaf, Palette::Straw, Palette::Sky};
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(3 + (i % 2) * 5.5, 6 + (i / 2) * 3.5, 4.5, 2.5), tiles[i]);
}

} // namespace

bool drawImageList(const QString &programFolder, int scale)
{
    const std::function<void(QPainter &)> pictures[] = {openFolder,    closedFolder, compactDisc,
                                                        blankDocument, folderUp,     tiledWindow};
    static_assert(std::size(pictures) == ArtworkFiles::ImageListCount);
    bool ok = true;
    for (int i = 0; i < ArtworkFiles::ImageListCount; ++i) {
        const int size = ArtworkFiles::ImageListSize * scale;
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::Antialiasing);
        pictures[i](p);
        p.end();
        ok &= savePicture(image, programFolder, ArtworkFiles::imageList(i), scale);
    }
    return ok;
}
