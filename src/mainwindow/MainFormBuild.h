#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QWidget;
class TMainForm;
class TsuiImageButton;

// The steps that build the main window's controls, run once by its constructor in this order.
namespace MainFormBuild {
// The skin, the frame's picture buttons, the page area and the picture strip.
void buildFace(TMainForm &form);
// The controls of the three pages.
void buildPages(TMainForm &form);
// The action list, the buttons' bindings and the strip's descriptions.
void setUpActions(TMainForm &form);

// A picture button with the three pictures of `face`, at `pos`, sized by its normal picture.
TsuiImageButton *makeButton(QWidget *parent, const QString &name, const char *face, QPoint pos,
                            bool transparent);
// A picture from the program folder in a label of its own; a missing file leaves it empty.
QLabel *makePicture(QWidget *parent, const QString &name, const QString &file, const QRect &geometry);
} // namespace MainFormBuild
