#include "Artwork.h"
#include "Palette.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace {

// The disc, on a 32-unit grid scaled to the size asked for; the list-file type adds its card.
QImage paintIcon(int size, bool listFileCard)
{
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    const QPointF centre(16, 16);

    QRadialGradient surface(centre, 15);
    surface.setColorAt(0.0, QColor(0xf4, 0xf7, 0xfb));
    surface.setColorAt(1.0, QColor(0x8e, 0xa2, 0xbd));
    p.setPen(QPen(Palette::Deep, 1));
    p.setBrush(surface);
    p.drawEllipse(centre, 14.5, 14.5);

    QConicalGradient sheen(centre, 40);
    sheen.setColorAt(0.0, QColor(255, 150, 120, 0));
    sheen.setColorAt(0.1, QColor(255, 220, 110, 150));
    sheen.setColorAt(0.2, QColor(110, 170, 255, 150));
    sheen.setColorAt(0.3, QColor(190, 120, 255, 0));
    sheen.setColorAt(1.0, QColor(255, 150, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sheen);
    p.drawEllipse(centre, 14, 14);

    p.setBrush(Palette::Sky);
    p.drawEllipse(centre, 5, 5);
    p.setBrush(Qt::white);
    p.drawEllipse(centre, 2, 2);

    if (listFileCard) {
        p.setBrush(Palette::Amber);
        p.setPen(QPen(Palette::Ink, 0.8));
        p.drawRoundedRect(QRectF(17.5, 17.5, 13, 13), 2, 2);
        p.setPen(QPen(Palette::Ink, 1.2));
        for (int y : {21, 24, 27})
            p.drawLine(QPointF(20, y), QPointF(28, y));
    }
    p.end();
    return icon;
}

QString rgb(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

// The sheen's colours along its sweep, as the raster icon's conical gradient sets them.
QColor sheenAt(double t)
{
    const struct
    {
        double at;
        QColor colour;
    } stops[] = {{0.0, QColor(255, 150, 120, 0)},
                 {0.1, QColor(255, 220, 110, 150)},
                 {0.2, QColor(110, 170, 255, 150)},
                 {0.3, QColor(190, 120, 255, 0)}};
    for (size_t i = 1; i < std::size(stops); ++i) {
        if (t <= stops[i].at) {
            const double f = (t - stops[i - 1].at) / (stops[i].at - stops[i - 1].at);
            const QColor &a = stops[i - 1].colour;
            const QColor &b = stops[i].colour;
            const auto mix = [f](int x, int y) {
                return qRound(x + (y - x) * f);
            };
            return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()),
                          mix(a.alpha(), b.alpha()));
        }
    }
    return stops[std::size(stops) - 1].colour;
}

// The same drawing as SVG. SVG has no conical gradient: the sheen is laid down as thin wedges, each
// with the gradient's colour at its angle.
QByteArray iconSvg(bool listFileCard)
{
    const auto at = [](double degrees) {
        const double r = degrees * std::numbers::pi / 180.0;
        return QStringLiteral("%1 %2")
            .arg(16 + 14 * std::cos(r), 0, 'f', 3)
            .arg(16 - 14 * std::sin(r), 0, 'f', 3);
    };
    QString svg =
        QStringLiteral(
            R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">
  <defs>
    <radialGradient id="surface" cx="16" cy="16" r="15" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#f4f7fb"/>
      <stop offset="1" stop-color="#8ea2bd"/>
    </radialGradient>
  </defs>
  <circle cx="16" cy="16" r="14.5" fill="url(#surface)" stroke="%1" stroke-width="1"/>
)svg")
            .arg(rgb(Palette::Deep));
    // The gradient starts at 40 degrees and turns counter-clockwise; its colour fades out by 0.3 of a turn.
    constexpr int step = 3;
    for (int degrees = 0; degrees < 108; degrees += step) {
        const QColor colour = sheenAt((degrees + step / 2.0) / 360.0);
        // A hair of overlap, so that no seam shows between neighbours.
        svg += QStringLiteral(R"svg(  <path d="M16 16 L%1 A14 14 0 0 0 %2 Z" fill="%3" fill-opacity="%4"/>
)svg")
                   .arg(at(40 + degrees), at(40 + degrees + step + 0.3), rgb(colour))
                   .arg(colour.alphaF(), 0, 'f', 3);
    }
    svg += QStringLiteral(R"svg(  <circle cx="16" cy="16" r="5" fill="%1"/>
  <circle cx="16" cy="16" r="2" fill="#ffffff"/>
)svg")
               .arg(rgb(Palette::Sky));
    if (listFileCard) {
        svg +=
            QStringLiteral(
                R"svg(  <rect x="17.5" y="17.5" width="13" height="13" rx="2" fill="%1" stroke="%2" stroke-width="0.8"/>
  <path d="M20 21 H28 M20 24 H28 M20 27 H28" stroke="%2" stroke-width="1.2"/>
)svg")
                .arg(rgb(Palette::Amber), rgb(Palette::Ink));
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

bool saveText(const QByteArray &text, const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

bool drawAppIcon(const QString &programFolder)
{
    return paintIcon(32, true).save(programFolder + QStringLiteral("/App.ico"), "ICO");
}

bool drawDesktopIcons(const QString &hicolorFolder)
{
    bool ok = true;
    for (int size : kDesktopIconSizes) {
        const QString folder = hicolorFolder + QStringLiteral("/%1x%1/").arg(size);
        ok &= savePicture(paintIcon(size, false), folder + QStringLiteral("apps/kestrane.png"));
        ok &= savePicture(paintIcon(size, true),
                          folder + QStringLiteral("mimetypes/application-x-kestrane-filelist.png"));
    }
    ok &= saveText(iconSvg(false), hicolorFolder + QStringLiteral("/scalable/apps/kestrane.svg"));
    ok &= saveText(iconSvg(true),
                   hicolorFolder + QStringLiteral("/scalable/mimetypes/application-x-kestrane-filelist.svg"));
    return ok;
}
