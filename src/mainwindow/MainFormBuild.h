#pragma once

class TMainForm;

// The steps that build the main window's own controls, run once by its constructor: the face, then
// (after the window has made its pages) the actions.
namespace MainFormBuild {
// The skin, the frame's picture buttons, the page area and the picture strip.
void buildFace(TMainForm &form);
// The action list, the buttons' bindings and the strip's descriptions.
void setUpActions(TMainForm &form);
} // namespace MainFormBuild
