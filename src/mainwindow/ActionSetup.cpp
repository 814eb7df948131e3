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
    QAction *TMainForm::*action;
    const char *name;
    bool sys;
    TsuiImageButton *button;
    void (TMainForm::*handler)();
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
        {&TMainForm::ActCDTOISO, "ActCDTOISO", false, form.suiImageButton5, &TMainForm::ActCDTOISOExecute},
        {&TMainForm::ActFILETOISO, "ActFILETOISO", false, form.suiImageButton6,
         &TMainForm::ActFILETOISOExecute},
        {&TMainForm::ActBURNISO, "ActBURNISO", false, form.suiImageButton7, &TMainForm::ActBURNISOExecute},
        {&TMainForm::ActFileAdd, "ActFileAdd", false, files->suiImageButton9, nullptr},
        {&TMainForm::ActFileDel, "ActFileDel", false, files->suiImageButton10, nullptr},
        {&TMainForm::ActFileClear, "ActFileClear", false, files->suiImageButton11, nullptr},
        {&TMainForm::ActCDTOISOExec, "ActCDTOISOExec", false, cd->suiImageButton15, nullptr},
        {&TMainForm::ActFILETOISOExec, "ActFILETOISOExec", false, files->suiImageButton12, nullptr},
        {&TMainForm::ActSaveFileList, "ActSaveFileList", false, files->suiImageButton13, nullptr},
        {&TMainForm::ActLoadFileList, "ActLoadFileList", false, files->suiImageButton14, nullptr},
        {&TMainForm::ActBURNISOExec, "ActBURNISOExec", false, burn->suiImageButton16, nullptr},
        {&TMainForm::ActCancelBURNISOExec, "ActCancelBURNISOExec", true, burn->suiImageButton17, nullptr},
        {&TMainForm::ActApplicationClose, "ActApplicationClose", true, form.suiImageButton18,
         &TMainForm::ActApplicationCloseExecute},
        {&TMainForm::ActMainFormMinSize, "ActMainFormMinSize", true, form.suiImageButton19,
         &TMainForm::ActMainFormMinSizeExecute},
        {&TMainForm::ActWebsite, "ActWebsite", true, form.suiImageButton1, &TMainForm::ActWebsiteExecute},
        {&TMainForm::ActEMail, "ActEMail", true, form.suiImageButton2, &TMainForm::ActEMailExecute},
        {&TMainForm::ActContent, "ActContent", true, form.suiImageButton4, &TMainForm::ActContentExecute},
        {&TMainForm::ActAbout, "ActAbout", true, form.suiImageButton8, &TMainForm::ActAboutExecute},
    };
    for (const Binding &b : bindings) {
        QAction *action = form.ActionList1->add(QLatin1String(b.name), b.sys ? Sys : QString());
        form.*b.action = action;
        if (b.handler)
            QObject::connect(action, &QAction::triggered, &form, b.handler);
        b.button->setAction(action);
    }

    PictureStrip *strip = form.pictureStrip();
    const std::pair<TsuiImageButton *, QLabel *> descriptions[] = {
        {form.suiImageButton5, form.ImgCDTOISO},
        {form.suiImageButton6, form.ImgDATATOISO},
        {form.suiImageButton7, form.ImgBURNISO},
        {form.suiImageButton8, form.ImgAbout},
        {form.suiImageButton1, form.ImgWEBSITE},
        {form.suiImageButton2, form.ImgEmail},
        {form.suiImageButton4, form.ImgHelp},
        {files->suiImageButton9, form.ImgBtnAddFile},
        {files->suiImageButton10, form.ImgBtnRemoveFile},
        {files->suiImageButton11, form.ImgBtnClearAll},
        {files->suiImageButton13, form.ImgBtnSaveList},
        {files->suiImageButton14, form.ImgBtnLoadList},
        {files->suiImageButton12, form.ImgBtnMakeIso},
        {cd->suiImageButton15, form.ImgBtnMakeIso},
        {burn->suiImageButton16, form.ImgBtnBurnIso},
        {burn->suiImageButton17, form.ImgBtnCancel},
    };
    for (const auto &[button, banner] : descriptions)
        strip->describe(button, banner);
    strip->setPageBanner(QStringLiteral("CDTOISO"), form.ImgCDTOISO);
    strip->setPageBanner(QStringLiteral("FILETOISO"), form.ImgDATATOISO);
    strip->setPageBanner(QStringLiteral("BURNISO"), form.ImgBURNISO);
}
