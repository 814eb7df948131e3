#include "BenchWindow.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "compilation/TFrmFilesSelect.h"
#include "dialogs/TAboutForm.h"
#include "jobs/TFrmConvertProcess.h"

void PrepareBenchApplication()
{
    Globals().ExeFolder = QStringLiteral(KESTRANE_PROGRAM_DIR "/");
    Globals().FirstShow = false;
    MessageBoxSeam::enable();
    FileDialogSeam::enable();
}

SecondaryWindows AdoptBenchWindows(TMainForm &form)
{
    SecondaryWindows windows;
    windows.AboutForm = new TAboutForm(&form);
    windows.FrmFilesSelect = new TFrmFilesSelect(&form);
    windows.FrmConvertProcess = new TFrmConvertProcess(&form);
    form.adoptSecondaryWindows(windows);
    return windows;
}
