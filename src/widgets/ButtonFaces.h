#pragma once

#include <QString>

class TsuiImageButton;

// Gives a picture button the three shipped pictures of one face (ArtworkFiles::ButtonFaces) from the
// program folder. A picture that cannot be read draws as the blank bitmap.
void LoadButtonFace(TsuiImageButton *button, const QString &exeFolder, const char *face);
