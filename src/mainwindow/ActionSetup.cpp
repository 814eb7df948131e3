#include "compilation/CompilationPage.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "mainwindow/MainFormBuild.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TActionList.h"
#include "mainwindow/TMainForm.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

namespace {

const QString Sys = QStringLiteral("sys");

struct Binding
{
    QAction *TActionList::*action;
    const char *name;
    bool sys;
    TsuiImageButton *button;
    void (TMainForm::*handler)();
    // The command's name as a screen reader says it: the pictures carry no text it can read.
    const char *spoken;
};

} // namespace

void MainFormBuild::setUpActions(TMainForm &form)
{
    form.ActionList1 = new TActionList(&form);
    CdToIsoPage *cd = form.cdPage();
    CompilationPage *files = form.compilationPage();
    BurnIsoPage *burn = form.burnPage();
    // Actions whose handler is null are connected to their subsystem by MainFormSubsystems.
    const Binding bindings[] = {
        {&TActionList::ActCDTOISO, "ActCDTOISO", false, form.suiImageButton5, &TMainForm::ActCDTOISOExecute,
         "CD to ISO"},
        {&TActionList::ActFILETOISO, "ActFILETOISO", false, form.suiImageButton6,
         &TMainForm::ActFILETOISOExecute, "Data to ISO"},
        {&TActionList::ActBURNISO, "ActBURNISO", false, form.suiImageButton7, &TMainForm::ActBURNISOExecute,
         "Burn ISO page"},
        {&TActionList::ActFileAdd, "ActFileAdd", false, files->suiImageButton9, nullptr, "Add File"},
        {&TActionList::ActFileDel, "ActFileDel", false, files->suiImageButton10, nullptr, "Remove File"},
        {&TActionList::ActFileClear, "ActFileClear", false, files->suiImageButton11, nullptr, "Clear All"},
        {&TActionList::ActCDTOISOExec, "ActCDTOISOExec", false, cd->suiImageButton15, nullptr, "Make ISO"},
        {&TActionList::ActFILETOISOExec, "ActFILETOISOExec", false, files->suiImageButton12, nullptr,
         "Make ISO"},
        {&TActionList::ActSaveFileList, "ActSaveFileList", false, files->suiImageButton13, nullptr,
         "Save List"},
        {&TActionList::ActLoadFileList, "ActLoadFileList", false, files->suiImageButton14, nullptr,
         "Load List"},
        {&TActionList::ActBURNISOExec, "ActBURNISOExec", false, burn->suiImageButton16, nullptr, "Burn ISO"},
        {&TActionList::ActCancelBURNISOExec, "ActCancelBURNISOExec", true, burn->suiImageButton17, nullptr,
         "Cancel"},
        {&TActionList::ActApplicationClose, "ActApplicationClose", true, form.suiImageButton18,
         &TMainForm::ActApplicationCloseExecute, "Close"},
        {&TActionList::ActMainFormMinSize, "ActMainFormMinSize", true, form.suiImageButton19,
         &TMainForm::ActMainFormMinSizeExecute, "Minimise"},
        {&TActionList::ActWebsite, "ActWebsite", true, form.suiImageButton1, &TMainForm::ActWebsiteExecute,
         "Website"},
        {&TActionList::ActEMail, "ActEMail", true, form.suiImageButton2, &TMainForm::ActEMailExecute,
         "E-Mail"},
        {&TActionList::ActContent, "ActContent", true, form.suiImageButton4, &TMainForm::ActContentExecute,
         "Help"},
        {&TActionList::ActAbout, "ActAbout", true, form.suiImageButton8, &TMainForm::ActAboutExecute,
         "About"},
    };
    for (const Binding &b : bindings) {
        QAction *action = form.ActionList1->add(QLatin1String(b.name), b.sys ? Sys : QString());
        form.ActionList1->*b.action = action;
        if (b.handler)
            QObject::connect(action, &QAction::triggered, &form, b.handler);
        b.button->setAction(action);
        b.button->setAccessibleName(QLatin1String(b.spoken));
    }

    PictureStrip *strip = form.pictureStrip();
    const std::pair<TsuiImageButton *, QLabel *> descriptions[] = {
        {form.suiImageButton5, form.pictureStrip()->ImgCDTOISO},
        {form.suiImageButton6, form.pictureStrip()->ImgDATATOISO},
        {form.suiImageButton7, form.pictureStrip()->ImgBURNISO},
        {form.suiImageButton8, form.pictureStrip()->ImgAbout},
        {form.suiImageButton1, form.pictureStrip()->ImgWEBSITE},
        {form.suiImageButton2, form.pictureStrip()->ImgEmail},
        {form.suiImageButton4, form.pictureStrip()->ImgHelp},
        {files->suiImageButton9, form.pictureStrip()->ImgBtnAddFile},
        {files->suiImageButton10, form.pictureStrip()->ImgBtnRemoveFile},
        {files->suiImageButton11, form.pictureStrip()->ImgBtnClearAll},
        {files->suiImageButton13, form.pictureStrip()->ImgBtnSaveList},
        {files->suiImageButton14, form.pictureStrip()->ImgBtnLoadList},
        {files->suiImageButton12, form.pictureStrip()->ImgBtnMakeIso},
        {cd->suiImageButton15, form.pictureStrip()->ImgBtnMakeIso},
        {burn->suiImageButton16, form.pictureStrip()->ImgBtnBurnIso},
        {burn->suiImageButton17, form.pictureStrip()->ImgBtnCancel},
    };
    for (const auto &[button, banner] : descriptions)
        strip->describe(button, banner);
    strip->setPageBanner(QStringLiteral("CDTOISO"), form.pictureStrip()->ImgCDTOISO);
    strip->setPageBanner(QStringLiteral("FILETOISO"), form.pictureStrip()->ImgDATATOISO);
    strip->setPageBanner(QStringLiteral("BURNISO"), form.pictureStrip()->ImgBURNISO);
}
