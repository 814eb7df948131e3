#include "Artwork.h"
#include "Glyphs.h"
#include "Palette.h"
#include "widgets/ArtworkFiles.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <functional>

using ArtworkFiles::ButtonState;

namespace {

// Pixels of this colour are cut out of a transparent button's picture.
const QColor Key(255, 0, 255);

using Painter = std::function<void(QPainter &, ButtonState, QSizeF)>;

enum class Backdrop {
    Skin, // drawn over the skin where the button lies; the uncovered pixels become the key colour
    Frame, // drawn over the skin, every pixel kept (the button is drawn opaque)
    White, // drawn over the white page field
};

QLinearGradient vertical(const QRectF &r, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// `skin` is the skin drawn at the same scale; `at` and `size` are in points.
QImage compose(const QImage &skin, QPoint at, QSize size, Backdrop backdrop, ButtonState state,
               const Painter &paint, int scale)
{
    const QSize pixels = size * scale;
    QImage layer(pixels, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.scale(scale, scale);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        paint(p, state, QSizeF(size));
    }
    QImage out = backdrop == Backdrop::White
        ? QImage(pixels, QImage::Format_RGB32)
        : skin.copy(QRect(at * scale, pixels)).convertToFormat(QImage::Format_RGB32);
    if (backdrop == Backdrop::White)
        out.fill(Qt::white);
    {
        QPainter p(&out);
        p.drawImage(0, 0, layer);
    }
    if (backdrop == Backdrop::Skin) {
        for (int y = 0; y < pixels.height(); ++y) {
            for (int x = 0; x < pixels.width(); ++x) {
                if (qAlpha(layer.pixel(x, y)) == 0)
                    out.setPixel(x, y, Key.rgb());
            }
        }
        // The key is read from the top-left pixel, so it must be cut out.
        out.setPixel(0, 0, Key.rgb());
    }
    return out;
}

// The largest narrow font from `largest` down that fits the text into `width`.
QFont fitted(const QString &text, qreal width, int largest, bool bold)
{
    for (int size = largest; size > 8; --size) {
        const QFont f = Palette::condensed(size, bold);
        if (QFontMetricsF(f).horizontalAdvance(text) <= width)
            return f;
    }
    return Palette::condensed(8, bold);
}

QPointF pressShift(ButtonState state)
{
    return state == ButtonState::MouseDown ? QPointF(1, 1) : QPointF(0, 0);
}

// The large buttons of the left panel: a card with a round badge, a title and a line below it.
Painter largeButton(Glyph glyph, QString title, QString subtitle)
{
    return [=](QPainter &p, ButtonState state, QSizeF) {
        const QRectF box = QRectF(3.5, 3.5, 125, 53).translated(pressShift(state));
        const bool lit = state != ButtonState::Normal;
        if (state != ButtonState::MouseDown) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(11, 31, 58, lit ? 80 : 45));
            p.drawRoundedRect(box.translated(0, 2), 10, 10);
        }
        switch (state) {
        case ButtonState::Normal:
            p.setBrush(vertical(box, Qt::white, QColor(0xdc, 0xea, 0xfa)));
            p.setPen(QPen(QColor(0x8f, 0xb3, 0xde), 1));
            break;
        case ButtonState::MouseOn:
            p.setBrush(vertical(box, QColor(0x5c, 0xa6, 0xee), QColor(0x25, 0x6b, 0xc0)));
            p.setPen(QPen(QColor(0x17, 0x4a, 0x8a), 1));
            break;
        case ButtonState::MouseDown:
            p.setBrush(vertical(box, QColor(0x17, 0x47, 0x85), QColor(0x2a, 0x6c, 0xbb)));
            p.setPen(QPen(QColor(0x0e, 0x33, 0x66), 1));
            break;
        }
        p.drawRoundedRect(box, 10, 10);
        if (state == ButtonState::MouseOn) {
            p.setPen(Qt::NoPen);
            p.setBrush(vertical(box, QColor(255, 255, 255, 80), QColor(255, 255, 255, 0)));
            p.drawRoundedRect(box.adjusted(1, 1, -1, -box.height() / 2), 9, 9);
        }

        const QPointF centre = box.topLeft() + QPointF(22, box.height() / 2);
        p.setPen(Qt::NoPen);
        if (lit) {
            p.setBrush(Qt::white);
        } else {
            p.setBrush(
                vertical(QRectF(centre - QPointF(15, 15), QSizeF(30, 30)), Palette::Sky, Palette::Deep));
        }
        p.drawEllipse(centre, 15, 15);
        drawGlyph(p, glyph, QRectF(centre - QPointF(10, 10), QSizeF(20, 20)), lit ? Palette::Deep : Qt::white,
                  Palette::Amber);

        const QRectF text(box.left() + 43, box.top() + 8, box.width() - 47, 20);
        p.setPen(lit ? Qt::white : Palette::Ink);
        p.setFont(fitted(title, text.width(), 15, true));
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title);
        p.setPen(lit ? Palette::Ice : Palette::Steel);
        p.setFont(fitted(subtitle, text.width(), 11, false));
        p.drawText(text.translated(0, 19), Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    };
}

// The top-bar buttons: a light picture and a word under it on the dark bar.
Painter barButton(Glyph glyph, QString label)
{
    return [=](QPainter &p, ButtonState state, QSizeF) {
        const QPointF shift = pressShift(state);
        const QRectF box = QRectF(3.5, 2.5, 63, 45).translated(shift);
        if (state == ButtonState::MouseOn) {
            p.setBrush(vertical(box, QColor(255, 255, 255, 70), QColor(255, 255, 255, 25)));
            p.setPen(QPen(QColor(255, 255, 255, 110), 1));
            p.drawRoundedRect(box, 8, 8);
        } else if (state == ButtonState::MouseDown) {
            p.setBrush(QColor(2, 10, 24, 130));
            p.setPen(QPen(QColor(255, 255, 255, 60), 1));
            p.drawRoundedRect(box, 8, 8);
        }
        const QColor ink = state == ButtonState::Normal ? Palette::Ice : Qt::white;
        drawGlyph(p, glyph, QRectF(QPointF(23, 6) + shift, QSizeF(24, 24)), ink, Palette::Amber);
        p.setPen(ink);
        p.setFont(Palette::font(11, state != ButtonState::Normal));
        p.drawText(QRectF(QPointF(0, 32) + shift, QSizeF(70, 15)), Qt::AlignCenter, label);
    };
}

Painter minimiseButton()
{
    return [](QPainter &p, ButtonState state, QSizeF) {
        const QRectF box = QRectF(2.5, 4.5, 20, 20).translated(pressShift(state) * 0.5);
        const QColor top[] = {QColor(0x46, 0x8f, 0xdc), QColor(0x6a, 0xad, 0xf2), QColor(0x16, 0x48, 0x88)};
        const QColor bottom[] = {QColor(0x1d, 0x59, 0xa6), QColor(0x2f, 0x7f, 0xd1),
                                 QColor(0x22, 0x62, 0xb0)};
        const int s = static_cast<int>(state);
        p.setBrush(vertical(box, top[s], bottom[s]));
        p.setPen(QPen(QColor(3, 14, 32), 1));
        p.drawRoundedRect(box, 5, 5);
        p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(box.topLeft() + QPointF(6, 14), box.topLeft() + QPointF(14, 14));
    };
}

Painter closeButton()
{
    return [](QPainter &p, ButtonState state, QSizeF) {
        const QRectF box = QRectF(3.5, 4.5, 20, 20).translated(pressShift(state) * 0.5);
        const QColor top[] = {QColor(0xee, 0x6e, 0x66), QColor(0xf6, 0x8f, 0x88), QColor(0xa5, 0x2a, 0x24)};
        const QColor bottom[] = {QColor(0xc3, 0x34, 0x2d), QColor(0xdb, 0x46, 0x3e),
                                 QColor(0xc3, 0x34, 0x2d)};
        const int s = static_cast<int>(state);
        p.setBrush(vertical(box, top[s], bottom[s]));
        p.setPen(QPen(QColor(60, 8, 6), 1));
        p.drawRoundedRect(box, 5, 5);
        p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap));
        const QPointF c = box.center();
        p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
        p.drawLine(c + QPointF(4.5, -4.5), c + QPointF(-4.5, 4.5));
    };
}

enum class Tone { Primary, Blue, Light };

// The buttons on the pages: a rounded pill with a word and, where it fits, a small picture.
Painter pageButton(Tone tone, Glyph glyph, QString label, qreal width, qreal height)
{
    return [=](QPainter &p, ButtonState state, QSizeF) {
        const QRectF box = QRectF(1.5, 1.5, width - 3, height - 4).translated(pressShift(state) * 0.5);
        const int s = static_cast<int>(state);
        QColor top, bottom, border, ink;
        switch (tone) {
        case Tone::Primary: {
            const QColor t[] = {QColor(0xf8, 0xb9, 0x52), QColor(0xff, 0xb8, 0x45), QColor(0xc9, 0x74, 0x16)};
            const QColor b[] = {QColor(0xe2, 0x86, 0x1c), QColor(0xf2, 0x80, 0x12), QColor(0xe8, 0x96, 0x30)};
            top = t[s], bottom = b[s], border = QColor(0xa8, 0x5e, 0x10), ink = Qt::white;
            break;
        }
        case Tone::Blue: {
            const QColor t[] = {QColor(0x4a, 0x96, 0xe4), QColor(0x6a, 0xaf, 0xf2), QColor(0x17, 0x4c, 0x8e)};
            const QColor b[] = {QColor(0x1f, 0x62, 0xb2), QColor(0x2d, 0x77, 0xca), QColor(0x2a, 0x6c, 0xbb)};
            top = t[s], bottom = b[s], border = QColor(0x12, 0x3c, 0x73), ink = Qt::white;
            break;
        }
        case Tone::Light: {
            const QColor t[] = {QColor(0xfb, 0xfd, 0xff), QColor(0xff, 0xff, 0xff), QColor(0xcd, 0xda, 0xea)};
            const QColor b[] = {QColor(0xd9, 0xe4, 0xf1), QColor(0xe3, 0xef, 0xfc), QColor(0xe9, 0xf0, 0xf8)};
            top = t[s], bottom = b[s], border = QColor(0x8d, 0xa8, 0xca), ink = Palette::Ink;
            break;
        }
        }
        if (state != ButtonState::MouseDown) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(11, 31, 58, state == ButtonState::MouseOn ? 70 : 40));
            p.drawRoundedRect(box.translated(0, 1.5), 7, 7);
        }
        p.setBrush(vertical(box, top, bottom));
        p.setPen(QPen(border, 1));
        p.drawRoundedRect(box, 7, 7);
        if (state != ButtonState::MouseDown) {
            p.setPen(Qt::NoPen);
            p.setBrush(vertical(box, QColor(255, 255, 255, 90), QColor(255, 255, 255, 0)));
            p.drawRoundedRect(box.adjusted(1, 1, -1, -box.height() / 2), 6, 6);
        }

        // One size for every page button; the picture is left out where the word needs the room.
        const QFont font = Palette::condensed(11, true);
        const qreal glyphSize = 13, gap = 3;
        const qreal textWidth = QFontMetricsF(font).horizontalAdvance(label);
        const bool withGlyph = textWidth + glyphSize + gap <= box.width() - 8;
        const qreal total = textWidth + (withGlyph ? glyphSize + gap : 0);
        const qreal left = box.center().x() - total / 2;
        const QColor accent = tone == Tone::Light ? Palette::Coral : Palette::Ice;
        if (withGlyph)
            drawGlyph(p, glyph, QRectF(left, box.center().y() - glyphSize / 2, glyphSize, glyphSize), ink,
                      accent);
        p.setFont(font);
        const QRectF text(left + (withGlyph ? glyphSize + gap : 0), box.top(), textWidth + 2, box.height());
        if (tone != Tone::Light) {
            p.setPen(QColor(0, 0, 0, tone == Tone::Primary ? 90 : 60));
            p.drawText(text.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, label);
        }
        p.setPen(ink);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, label);
    };
}

struct Job
{
    const char *face;
    QPoint at;
    Backdrop backdrop;
    Painter paint;
};

QSize faceSize(const char *face)
{
    for (const ArtworkFiles::Face &f : ArtworkFiles::ButtonFaces) {
        if (qstrcmp(f.name, face) == 0)
            return {f.width, f.height};
    }
    return {};
}

} // namespace

bool drawButtons(const QString &programFolder, const QImage &skin, int scale)
{
    const Job jobs[] = {
        {"CdToIso", {17, 113}, Backdrop::Skin, largeButton(Glyph::DiscCopy, "CD \u2192 ISO", "Copy a disc")},
        {"DataToIso",
         {17, 174},
         Backdrop::Skin,
         largeButton(Glyph::Files, "Data \u2192 ISO", "From your files")},
        {"BurnIsoPage", {17, 235}, Backdrop::Skin, largeButton(Glyph::Flame, "Burn ISO", "Write to a disc")},
        {"About", {17, 299}, Backdrop::Skin, largeButton(Glyph::Info, "About", "Version, thanks")},
        {"Website", {271, 40}, Backdrop::Skin, barButton(Glyph::Flag, "Website")},
        {"EMail", {431, 40}, Backdrop::Skin, barButton(Glyph::Envelope, "E-Mail")},
        {"Help", {511, 40}, Backdrop::Skin, barButton(Glyph::LifeRing, "Help")},
        {"Minimise", {648, 8}, Backdrop::Skin, minimiseButton()},
        {"Close", {672, 8}, Backdrop::Frame, closeButton()},
        {"AddFile", {}, Backdrop::White, pageButton(Tone::Blue, Glyph::Plus, "Add File", 80, 33)},
        {"RemoveFile", {}, Backdrop::White, pageButton(Tone::Blue, Glyph::Minus, "Remove File", 80, 33)},
        {"ClearAll", {}, Backdrop::White, pageButton(Tone::Blue, Glyph::Trash, "Clear All", 80, 33)},
        {"SaveList", {}, Backdrop::White, pageButton(Tone::Blue, Glyph::SaveDown, "Save List", 80, 33)},
        {"LoadList", {}, Backdrop::White, pageButton(Tone::Blue, Glyph::LoadUp, "Load List", 80, 33)},
        {"MakeIso", {}, Backdrop::White, pageButton(Tone::Primary, Glyph::Disc, "Make ISO", 80, 33)},
        {"BurnIso", {}, Backdrop::White, pageButton(Tone::Primary, Glyph::Flame, "Burn ISO", 80, 33)},
        {"Cancel", {}, Backdrop::White, pageButton(Tone::Light, Glyph::Stop, "Cancel", 80, 33)},
        {"Erase", {}, Backdrop::White, pageButton(Tone::Light, Glyph::Erase, "Erase", 80, 33)},
        {"ProgressCancel", {}, Backdrop::White, pageButton(Tone::Light, Glyph::Stop, "Cancel", 66, 27)},
    };
    static_assert(std::size(jobs) == ArtworkFiles::ButtonFaces.size());
    bool ok = true;
    for (const Job &job : jobs) {
        const QSize size = faceSize(job.face);
        for (ButtonState state : {ButtonState::Normal, ButtonState::MouseOn, ButtonState::MouseDown}) {
            const QImage picture = compose(skin, job.at, size, job.backdrop, state, job.paint, scale);
            ok &= savePicture(picture, programFolder, ArtworkFiles::button(job.face, state), scale);
        }
    }
    return ok;
}
