#pragma once

#include "mainwindow/TMainForm.h"

// The real main window as the window benches drive it: offscreen, program data from the build's
// program folder, no splash, message boxes and file dialogs answered by their test seams.

// After the application object is made, before the window.
void PrepareBenchApplication();
// Gives the window the secondary windows its commands open; answers them for the bench to reach.
SecondaryWindows AdoptBenchWindows(TMainForm &form);
