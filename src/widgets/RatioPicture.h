#pragma once

#include <QImage>
#include <QString>

// The shipped pictures at the screen's pixel ratio: a HiDPI desktop or QT_SCALE_FACTOR draws a
// point with more than one pixel, and a picture made for one pixel per point would be blurred.
namespace RatioPicture {

// The ratio pictures are read for: the highest of the screens'.
qreal screenRatio();

// The file as it is, taken from the start-up read-ahead when it was read there (PictureReadAhead).
QImage readFile(const QString &path);

// Reads the picture `path`. Above one pixel per point, its "@2x" drawing beside it instead, when that
// can be read and is exactly twice the plain picture's size; it is marked with its ratio, so that it
// draws at the plain picture's size. A null image when nothing can be read.
QImage read(const QString &path, qreal ratio);

// The picture resampled smoothly to `ratio` pixels per point, so that it is drawn pixel for pixel
// rather than by dropping or doubling rows and columns. Unchanged when it already has that ratio, or
// has one pixel per point while the ratio is higher (there is nothing finer to draw from).
QImage fitted(const QImage &image, qreal ratio);

// Reads the picture and fits it to the ratio.
QImage readFitted(const QString &path, qreal ratio);

} // namespace RatioPicture
