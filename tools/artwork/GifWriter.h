#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writes a looping animated GIF: Qt reads GIF but cannot write it. The palette holds the frames'
// most frequent colours.
bool writeAnimatedGif(const QString &path, const QList<QImage> &frames, int delayCentiseconds);
