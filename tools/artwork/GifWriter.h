#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writes a looping animated GIF: Qt reads GIF but cannot write it. Colours go to a fixed 6x7x6 cube.
bool writeAnimatedGif(const QString &path, const QList<QImage> &frames, int delayCentiseconds);
