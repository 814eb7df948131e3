#pragma once

#include <QImage>
#include <QSize>
#include <QString>

// A picture property of an image button: empty, or assigned. An assigned picture that could not be
// read draws as a blank 74 x 21 bitmap instead of failing.
class TsuiPicture final
{
public:
    TsuiPicture() = default;
    // A null image counts as an assigned picture that cannot be drawn.
    explicit TsuiPicture(const QImage &image);
    static TsuiPicture fromFile(const QString &path);

    bool isEmpty() const { return !m_assigned; }
    // True when the picture holds a drawable image.
    bool isValid() const { return m_assigned && !m_image.isNull(); }
    QSize size() const { return isValid() ? m_image.size() : QSize(); }

    // The image to draw: the picture itself, or the blank bitmap when it could not be read.
    QImage bitmap() const;
    // The same with every pixel of the top-left pixel's colour made fully transparent.
    QImage keyedBitmap() const;

    static QImage blankBitmap();

private:
    bool m_assigned = false;
    QImage m_image;
    QImage m_keyed;
};
