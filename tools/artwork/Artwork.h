#pragma once

#include <QImage>
#include <QString>

// Each function draws its pictures into the program folder given; false on a write failure.
bool drawSplash(const QString &programFolder);
bool drawAppIcon(const QString &programFolder);
bool drawAnimations(const QString &programFolder);
bool drawAboutPicture(const QString &programFolder);

// The main window's skin; the buttons that lie on it are drawn over their part of it.
QImage paintSkin();
bool drawSkin(const QString &programFolder, const QImage &skin);
bool drawButtons(const QString &programFolder, const QImage &skin);
bool drawBanners(const QString &programFolder);
bool drawPageLabels(const QString &programFolder);
bool drawImageList(const QString &programFolder);

// Writes a picture, creating its folder; false when it cannot be written.
bool savePicture(const QImage &image, const QString &path);
