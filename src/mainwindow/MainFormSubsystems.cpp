#include "mainwindow/MainFormSubsystems.h"

#include "compilation/CompilationPage.h"
#include "jobs/BurnController.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
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
    CdToIsoPage &cdPage = *form.cdPage();
    CompilationPage *compilation = form.compilationPage();
    BurnIsoPage &burnPage = *form.burnPage();

    compilation->setPicker(windows.FrmFilesSelect);
    Drives = std::make_unique<DriveLists>(form.DVDWriterPro, form.driveThread, cdPage, burnPage);
    Burn = std::make_unique<BurnController>(form.DVDWriterPro, form.DVDWriterPro1, form.driveThread, burnPage,
                                            cdPage, form.ActionList1->actions());
    ImageJobs = std::make_unique<ImageJobController>(
        form.DVDWriterPro, form.DVDWriterPro21, form.driveThread, windows.FrmConvertProcess, cdPage, burnPage,
        *Drives, *Burn, [compilation] { return compilation->imageLabel(); });
    // The job has done the page's entry work already; only the banner and the page change remain.
    QObject::connect(ImageJobs.get(), &ImageJobController::burnPageWanted, &form, [&form] {
        form.ShowPictureStrip(form.pictureStrip()->ImgBURNISO);
        form.Notebook->setActivePage(QStringLiteral("BURNISO"));
    });

    DriveLists *drives = Drives.get();
    Erase = std::make_unique<EraseLauncher>(&form, form.DVDWriterPro1, form.driveThread,
                                            [drives] { return drives->chosenRecorderLetter(); });

    connectActions(form);
}

MainFormSubsystems::~MainFormSubsystems() = default;

void MainFormSubsystems::connectActions(TMainForm &form)
{
    CompilationPage *page = form.compilationPage();
    QObject::connect(form.ActionList1->ActFileAdd, &QAction::triggered, page,
                     &CompilationPage::ActFileAddExecute);
    QObject::connect(form.ActionList1->ActFileDel, &QAction::triggered, page,
                     &CompilationPage::RemoveSelectedItems);
    QObject::connect(form.ActionList1->ActFileClear, &QAction::triggered, page,
                     &CompilationPage::ClearCompilation);
    QObject::connect(form.ActionList1->ActSaveFileList, &QAction::triggered, page,
                     &CompilationPage::ActSaveFileListExecute);
    QObject::connect(form.ActionList1->ActLoadFileList, &QAction::triggered, page,
                     &CompilationPage::ActLoadFileListExecute);

    ImageJobController *jobs = ImageJobs.get();
    QObject::connect(form.ActionList1->ActCDTOISOExec, &QAction::triggered, jobs,
                     &ImageJobController::ActCDTOISOExecExecute);
    // A compilation still being added to is not written: the image would lack what is still coming.
    QObject::connect(form.ActionList1->ActFILETOISOExec, &QAction::triggered, jobs, [page, jobs] {
        if (!page->refuseWhileAdding())
            jobs->ActFILETOISOExecExecute();
    });
    QObject::connect(form.cdPage()->SbtnSelSavepath, &QToolButton::clicked, jobs,
                     &ImageJobController::SbtnSelSavepathClick);

    BurnController *burn = Burn.get();
    BurnIsoPage *burnPage = form.burnPage();
    QObject::connect(form.ActionList1->ActBURNISOExec, &QAction::triggered, burn,
                     &BurnController::ActBURNISOExecExecute);
    QObject::connect(form.ActionList1->ActCancelBURNISOExec, &QAction::triggered, burn,
                     &BurnController::ActCancelBURNISOExecExecute);
    QObject::connect(burnPage->SpeedButton2, &QToolButton::clicked, burn, &BurnController::SpeedButton2Click);

    QObject::connect(burnPage->suiImageButton20, &TsuiImageButton::OnClick, Erase.get(),
                     &EraseLauncher::suiImageButton20Click);
}
