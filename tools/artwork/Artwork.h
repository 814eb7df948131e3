#pragma once

#include <QImage>
#include <QString>

// Each function draws its pictures into the program folder given; false on a write failure. The splash
// and About pictures are drawn at `scale` pixels per point, as the main window's are (below).
bool drawSplash(const QString &programFolder, int scale);
bool drawAppIcon(const QString &programFolder);
bool drawAnimations(const QString &programFolder);
bool drawAboutPicture(const QString &programFolder, int scale);

// The application's and the list-file type's icons for the desktop's hicolor theme, drawn into the
// theme folder given (SIZExSIZE/apps, SIZExSIZE/mimetypes, scalable/...).
inline constexpr int kDesktopIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
bool drawDesktopIcons(const QString &hicolorFolder);

// The main window's skin; the buttons that lie on it are drawn over their part of it. These pictures
// are drawn at `scale` pixels per point (1, or ArtworkFiles::HighRatio for the "@2x" files): the
// painter is scaled, not the finished picture, so edges and text stay sharp at every scale.
QImage paintSkin(int scale);
bool drawSkin(const QString &programFolder, const QImage &skin, int scale);
bool drawButtons(const QString &programFolder, const QImage &skin, int scale);
bool drawBanners(const QString &programFolder, int scale);
bool drawPageLabels(const QString &programFolder, int scale);
bool drawImageList(const QString &programFolder, int scale);

// Writes a picture, creating its folder; false when it cannot be written.
bool savePicture(const QImage &image, const QString &path);
// Writes the picture drawn at `scale` under the program folder's `file`, or its "@2x" name.
bool savePicture(const QImage &image, const QString &programFolder, const QString &file, int scale);
