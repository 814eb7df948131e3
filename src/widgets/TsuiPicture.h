#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

// A picture property of an image button: empty, or assigned. An assigned picture that could not be
// read draws as a blank 74 x 21 bitmap instead of failing.
class TsuiPicture final
{
public:
    TsuiPicture() = default;
    // A null image counts as an assigned picture that cannot be drawn. The image draws at its own
    // pixel ratio.
    explicit TsuiPicture(const QImage &image);
    // The picture file, or its drawing for finer screens, at `ratio` pixels per point (by default the
    // screens' own).
    static TsuiPicture fromFile(const QString &path);
    static TsuiPicture fromFile(const QString &path, qreal ratio);

    bool isEmpty() const { return !m_assigned; }
    // True when the picture holds a drawable image.
    bool isValid() const { return m_assigned && !m_image.isNull(); }
    // In points, whatever the pixel ratio.
    QSize size() const { return isValid() ? m_image.deviceIndependentSize().toSize() : QSize(); }

    // The image to draw: the picture itself, or the blank bitmap when it could not be read.
    QImage bitmap() const;
    // The same with every pixel of the top-left pixel's colour made fully transparent.
    QImage keyedBitmap() const;

    static QImage blankBitmap();

private:
    TsuiPicture(const QImage &image, const QImage &keyed);

    bool m_assigned = false;
    QImage m_image;
    mutable std::optional<QImage> m_keyed;
};
