#include "mainwindow/MainFormSubsystems.h"

#include "compilation/CompilationPage.h"
#include "jobs/BurnController.h"
#include "jobs/DriveLists.h"
#include "jobs/EraseLauncher.h"
#include "jobs/ImageJobController.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/TActionList.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TNotebook.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QToolButton>

MainFormSubsystems::MainFormSubsystems(TMainForm &form)
{
    const SecondaryWindows &windows = form.secondaryWindows();

    CompilationControls compilation;
    compilation.MainForm = &form;
    compilation.DVDWriterPro21 = form.DVDWriterPro21;
    compilation.TsListDir = form.TsListDir;
    compilation.LsviewFile = form.LsviewFile;
    compilation.Splitter1 = form.Splitter1;
    compilation.PopupMenu1 = form.PopupMenu1;
    compilation.ChangeVolume1 = form.ChangeVolume1;
    compilation.FrmFilesSelect = windows.FrmFilesSelect;
    compilation.FileListBuffer = &form.FileListBuffer;
    Compilation = std::make_unique<CompilationPage>(compilation);

    Drives = std::make_unique<DriveLists>(form.DVDWriterPro, form.driveThread, form.CboCdList,
                                          form.CboCDRWList, form.EdtSavePath);

    BurnPageControls burnPage;
    burnPage.CboCDRWList = form.CboCDRWList;
    burnPage.EdtBurnISOPath = form.EdtBurnISOPath;
    burnPage.SpeedButton2 = form.SpeedButton2;
    burnPage.SbtnSelSavepath = form.SbtnSelSavepath;
    burnPage.PsBarWriteDisk = form.PsBarWriteDisk;
    Burn = std::make_unique<BurnController>(form.DVDWriterPro, form.DVDWriterPro1, form.driveThread, burnPage,
                                            form.ActionList1->actions());

    ImageJobContext job;
    job.mainWindow = &form;
    job.DVDWriterPro = form.DVDWriterPro;
    job.DVDWriterPro21 = form.DVDWriterPro21;
    job.drives = form.driveThread;
    job.progressWindow = windows.FrmConvertProcess;
    job.CboCdList = form.CboCdList;
    job.EdtSavePath = form.EdtSavePath;
    job.EdtBurnISOPath = form.EdtBurnISOPath;
    job.driveLists = Drives.get();
    job.burn = Burn.get();
    CompilationPage *page = Compilation.get();
    job.imageLabel = [page] {
        return page->imageLabel();
    };
    // The job has done the page's entry work already; only the banner and the page change remain.
    job.showBurnPage = [&form] {
        form.ShowPictureStrip(form.ImgBURNISO);
        form.Notebook->setActivePage(QStringLiteral("BURNISO"));
    };
    ImageJobs = std::make_unique<ImageJobController>(job);

    DriveLists *drives = Drives.get();
    Erase = std::make_unique<EraseLauncher>(&form, form.DVDWriterPro1, form.driveThread,
                                            [drives] { return drives->chosenRecorderLetter(); });

    connectActions(form);
}

MainFormSubsystems::~MainFormSubsystems() = default;

void MainFormSubsystems::connectActions(TMainForm &form)
{
    CompilationPage *page = Compilation.get();
    QObject::connect(form.ActFileAdd, &QAction::triggered, page, &CompilationPage::ActFileAddExecute);
    QObject::connect(form.ActFileDel, &QAction::triggered, page, &CompilationPage::RemoveSelectedItems);
    QObject::connect(form.ActFileClear, &QAction::triggered, page, &CompilationPage::ClearCompilation);
    QObject::connect(form.ActSaveFileList, &QAction::triggered, page,
                     &CompilationPage::ActSaveFileListExecute);
    QObject::connect(form.ActLoadFileList, &QAction::triggered, page,
                     &CompilationPage::ActLoadFileListExecute);

    ImageJobController *jobs = ImageJobs.get();
    QObject::connect(form.ActCDTOISOExec, &QAction::triggered, jobs,
                     &ImageJobController::ActCDTOISOExecExecute);
    // A compilation still being added to is not written: the image would lack what is still coming.
    QObject::connect(form.ActFILETOISOExec, &QAction::triggered, jobs, [page, jobs] {
        if (!page->refuseWhileAdding())
            jobs->ActFILETOISOExecExecute();
    });
    QObject::connect(form.SbtnSelSavepath, &QToolButton::clicked, jobs,
                     &ImageJobController::SbtnSelSavepathClick);

    BurnController *burn = Burn.get();
    QObject::connect(form.ActBURNISOExec, &QAction::triggered, burn, &BurnController::ActBURNISOExecExecute);
    QObject::connect(form.ActCancelBURNISOExec, &QAction::triggered, burn,
                     &BurnController::ActCancelBURNISOExecExecute);
    QObject::connect(form.SpeedButton2, &QToolButton::clicked, burn, &BurnController::SpeedButton2Click);

    QObject::connect(form.suiImageButton20, &TsuiImageButton::OnClick, Erase.get(),
                     &EraseLauncher::suiImageButton20Click);
}
