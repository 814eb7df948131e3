#include "Artwork.h"
#include "Glyphs.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <string_view>

namespace {

struct Banner
{
    const char *name;
    Glyph glyph;
};

// One line each, saying what the button under the pointer (or the current page) is for; the words are
// in ArtworkFiles::BannerWords, in the same order.
constexpr Banner Banners[] = {
    {"ImgCDTOISO", Glyph::DiscCopy},  {"ImgDATATOISO", Glyph::Files},      {"ImgBURNISO", Glyph::Flame},
    {"ImgAbout", Glyph::Info},        {"ImgWEBSITE", Glyph::Flag},         {"ImgEmail", Glyph::Envelope},
    {"ImgHelp", Glyph::LifeRing},     {"ImgBtnAddFile", Glyph::Plus},      {"ImgBtnRemoveFile", Glyph::Minus},
    {"ImgBtnClearAll", Glyph::Trash}, {"ImgBtnSaveList", Glyph::SaveDown}, {"ImgBtnLoadList", Glyph::LoadUp},
    {"ImgBtnMakeIso", Glyph::Disc},   {"ImgBtnBurnIso", Glyph::Flame},     {"ImgBtnCancel", Glyph::Stop},
};

constexpr bool inTheWindowsOrder()
{
    for (std::size_t i = 0; i < std::size(Banners); ++i)
        if (std::string_view(Banners[i].name) != ArtworkFiles::Banners[i])
            return false;
    return true;
}
static_assert(inTheWindowsOrder(), "the words would go on the wrong banners");

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

QImage banner(const Banner &b, const char *words, int scale)
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

    const QString text = QString::fromUtf8(words);
    const QRectF line(72, 0, area.width() - 80, area.height());
    p.setFont(fitted(text, line.width(), 14, false));
    p.setPen(Palette::Ink);
    p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    p.end();
    return image;
}

} // namespace

bool drawBanners(const QString &programFolder, int scale)
{
    static_assert(std::size(Banners) == ArtworkFiles::Banners.size());
    static_assert(ArtworkFiles::BannerWords.size() == ArtworkFiles::Banners.size());
    bool ok = true;
    for (std::size_t i = 0; i < std::size(Banners); ++i) {
        const Banner &b = Banners[i];
        ok &= savePicture(banner(b, ArtworkFiles::BannerWords[i], scale), programFolder,
                          ArtworkFiles::banner(b.name), scale);
    }
    return ok;
}

bool drawPageLabels(const QString &programFolder, int scale)
{
    static_assert(ArtworkFiles::PageLabelWords.size() == ArtworkFiles::PageLabels.size());
    bool ok = true;
    for (std::size_t i = 0; i < ArtworkFiles::PageLabels.size(); ++i) {
        const ArtworkFiles::Face &face = ArtworkFiles::PageLabels[i];
        QImage image(face.width * scale, face.height * scale, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QString text = QString::fromUtf8(ArtworkFiles::PageLabelWords[i]);
        p.setFont(fitted(text, face.width - 4, 12, true, true));
        p.setPen(Palette::Deep);
        p.drawText(QRectF(0, 0, face.width - 4, face.height), Qt::AlignRight | Qt::AlignVCenter, text);
        p.end();
        ok &= savePicture(image, programFolder, ArtworkFiles::pageLabel(face.name), scale);
    }
    return ok;
}
