#pragma once

#include <QString>

// Each function draws its pictures into the program folder given; false on a write failure.
bool drawSplash(const QString &programFolder);
bool drawAppIcon(const QString &programFolder);
bool drawAnimations(const QString &programFolder);
bool drawAboutPicture(const QString &programFolder);
