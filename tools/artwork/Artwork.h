#pragma once

#include <QImage>
#include <QString>

// Each function draws its pictures into the program folder given; false on a write failure.
bool drawSplash(const QString &programFolder);
bool drawAppIcon(const QString &programFolder);
bool drawAnimations(const QString &programFolder);
bool drawAboutPicture(const QString &programFolder);

// The application's and the list-file type's icons for the desktop's hicolor theme, drawn into the
// theme folder given (SIZExSIZE/apps, SIZExSIZE/mimetypes, scalable/...).
inline constexpr int kDesktopIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
bool drawDesktopIcons(const QString &hicolorFolder);

// The main window's skin; the buttons that lie on it are drawn over their part of it.
QImage paintSkin();
bool drawSkin(const QString &programFolder, const QImage &skin);
bool drawButtons(const QString &programFolder, const QImage &skin);
bool drawBanners(const QString &programFolder);
bool drawPageLabels(const QString &programFolder);
bool drawImageList(const QString &programFolder);

// Writes a picture, creating its folder; false when it cannot be written.
bool savePicture(const QImage &image, const QString &path);
