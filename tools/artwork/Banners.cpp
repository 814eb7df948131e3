#include "Artwork.h"
#include "Glyphs.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

namespace {

struct Banner
{
    const char *name;
    Glyph glyph;
    const char *text;
};

// One line each, saying what the button under the pointer (or the current page) is for.
const Banner Banners[] = {
    {"ImgCDTOISO", Glyph::DiscCopy,
     "Select the CD/DVD drive holding the disc, name the image file, then click Make ISO."},
    {"ImgDATATOISO", Glyph::Files, "Create a new ISO image from the files and folders on your computer."},
    {"ImgBURNISO", Glyph::Flame, "Select the recorder and the ISO image file, then click Burn ISO."},
    {"ImgAbout", Glyph::Info, "Show information about this software."},
    {"ImgWEBSITE", Glyph::Flag, "Visit the Varnholt web site for more information."},
    {"ImgEmail", Glyph::Envelope, "Write an e-mail to Varnholt."},
    {"ImgHelp", Glyph::LifeRing, "Get help on using Kestrane."},
    {"ImgBtnAddFile", Glyph::Plus, "Add files and folders to the list."},
    {"ImgBtnRemoveFile", Glyph::Minus, "Remove the selected files and folders from the list."},
    {"ImgBtnClearAll", Glyph::Trash, "Clear all files and folders from the list."},
    {"ImgBtnSaveList", Glyph::SaveDown, "Save the list to your computer."},
    {"ImgBtnLoadList", Glyph::LoadUp, "Load a saved list from your computer."},
    {"ImgBtnMakeIso", Glyph::Disc, "Start making the ISO image file."},
    {"ImgBtnBurnIso", Glyph::Flame, "Start burning the image to the disc."},
    {"ImgBtnCancel", Glyph::Stop, "Stop burning."},
};

// The largest font from `largest` down that fits the text into `width`.
QFont fitted(const QString &text, qreal width, int largest, bool bold, bool narrow = false)
{
    for (int size = largest; size > 8; --size) {
        const QFont f = narrow ? Palette::condensed(size, bold) : Palette::font(size, bold);
        if (QFontMetricsF(f).horizontalAdvance(text) <= width)
            return f;
    }
    return narrow ? Palette::condensed(8, bold) : Palette::font(8, bold);
}

QImage banner(const Banner &b, int scale)
{
    const QRect area(0, 0, ArtworkFiles::BannerWidth, ArtworkFiles::BannerHeight);
    QImage image(area.size() * scale, QImage::Format_RGB32);
    QPainter p(&image);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient wash(0, 0, area.width(), 0);
    wash.setColorAt(0.0, QColor(0xea, 0xf3, 0xfd));
    wash.setColorAt(0.35, Qt::white);
    wash.setColorAt(1.0, Qt::white);
    p.fillRect(area, wash);

    const QPointF centre(31, area.height() / 2.0);
    QLinearGradient badge(centre - QPointF(0, 19), centre + QPointF(0, 19));
    badge.setColorAt(0, Palette::Sky);
    badge.setColorAt(1, Palette::Deep);
    p.setPen(Qt::NoPen);
    p.setBrush(badge);
    p.drawEllipse(centre, 19, 19);
    drawGlyph(p, b.glyph, QRectF(centre - QPointF(12, 12), QSizeF(24, 24)), Qt::white, Palette::Amber);

    // An amber tick ties the text to the badge.
    p.setBrush(Palette::Amber);
    p.drawRoundedRect(QRectF(60, area.height() / 2.0 - 9, 3, 18), 1.5, 1.5);

    const QString text = QString::fromUtf8(b.text);
    const QRectF line(72, 0, area.width() - 80, area.height());
    p.setFont(fitted(text, line.width(), 14, false));
    p.setPen(Palette::Ink);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    p.end();
    return image;
}

const char *const LabelTexts[] = {"Source CD/DVD-ROM:", "Output ISO File:", "Recorder:", "ISO File:"};

} // namespace

bool drawBanners(const QString &programFolder, int scale)
{
    static_assert(std::size(Banners) == ArtworkFiles::Banners.size());
    bool ok = true;
    for (const Banner &b : Banners)
        ok &= savePicture(banner(b, scale), programFolder, ArtworkFiles::banner(b.name), scale);
    return ok;
}

bool drawPageLabels(const QString &programFolder, int scale)
{
    static_assert(std::size(LabelTexts) == ArtworkFiles::PageLabels.size());
    bool ok = true;
    for (std::size_t i = 0; i < std::size(LabelTexts); ++i) {
        const ArtworkFiles::Face &face = ArtworkFiles::PageLabels[i];
        QImage image(face.width * scale, face.height * scale, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QString text = QString::fromUtf8(LabelTexts[i]);
        p.setFont(fitted(text, face.width - 4, 12, true, true));
        p.setPen(Palette::Deep);
        p.drawText(QRectF(0, 0, face.width - 4, face.height), Qt::AlignRight | Qt::AlignVCenter, text);
        p.end();
        ok &= savePicture(image, programFolder, ArtworkFiles::pageLabel(face.name), scale);
    }
    return ok;
}
