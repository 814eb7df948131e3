#include "widgets/ButtonFaces.h"

#include "widgets/ArtworkFiles.h"
#include "widgets/TsuiImageButton.h"

void LoadButtonFace(TsuiImageButton *button, const QString &exeFolder, const char *face)
{
    using ArtworkFiles::ButtonState;
    button->setPicNormal(TsuiPicture::fromFile(exeFolder + ArtworkFiles::button(face, ButtonState::Normal)));
    button->setPicMouseOn(
        TsuiPicture::fromFile(exeFolder + ArtworkFiles::button(face, ButtonState::MouseOn)));
    button->setPicMouseDown(
        TsuiPicture::fromFile(exeFolder + ArtworkFiles::button(face, ButtonState::MouseDown)));
}
