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
    TsuiImageButton *TMainForm::*button;
    void (TMainForm::*handler)();
};

} // namespace

void MainFormBuild::setUpActions(TMainForm &form)
{
    form.ActionList1 = new TActionList(&form);
    // Actions whose handler is null are connected to their subsystem by MainFormSubsystems.
    const Binding bindings[] = {
        {&TMainForm::ActCDTOISO, "ActCDTOISO", false, &TMainForm::suiImageButton5,
         &TMainForm::ActCDTOISOExecute},
        {&TMainForm::ActFILETOISO, "ActFILETOISO", false, &TMainForm::suiImageButton6,
         &TMainForm::ActFILETOISOExecute},
        {&TMainForm::ActBURNISO, "ActBURNISO", false, &TMainForm::suiImageButton7,
         &TMainForm::ActBURNISOExecute},
        {&TMainForm::ActFileAdd, "ActFileAdd", false, &TMainForm::suiImageButton9, nullptr},
        {&TMainForm::ActFileDel, "ActFileDel", false, &TMainForm::suiImageButton10, nullptr},
        {&TMainForm::ActFileClear, "ActFileClear", false, &TMainForm::suiImageButton11, nullptr},
        {&TMainForm::ActCDTOISOExec, "ActCDTOISOExec", false, &TMainForm::suiImageButton15, nullptr},
        {&TMainForm::ActFILETOISOExec, "ActFILETOISOExec", false, &TMainForm::suiImageButton12, nullptr},
        {&TMainForm::ActSaveFileList, "ActSaveFileList", false, &TMainForm::suiImageButton13, nullptr},
        {&TMainForm::ActLoadFileList, "ActLoadFileList", false, &TMainForm::suiImageButton14, nullptr},
        {&TMainForm::ActBURNISOExec, "ActBURNISOExec", false, &TMainForm::suiImageButton16, nullptr},
        {&TMainForm::ActCancelBURNISOExec, "ActCancelBURNISOExec", true, &TMainForm::suiImageButton17,
         nullptr},
        {&TMainForm::ActApplicationClose, "ActApplicationClose", true, &TMainForm::suiImageButton18,
         &TMainForm::ActApplicationCloseExecute},
        {&TMainForm::ActMainFormMinSize, "ActMainFormMinSize", true, &TMainForm::suiImageButton19,
         &TMainForm::ActMainFormMinSizeExecute},
        {&TMainForm::ActWebsite, "ActWebsite", true, &TMainForm::suiImageButton1,
         &TMainForm::ActWebsiteExecute},
        {&TMainForm::ActEMail, "ActEMail", true, &TMainForm::suiImageButton2, &TMainForm::ActEMailExecute},
        {&TMainForm::ActContent, "ActContent", true, &TMainForm::suiImageButton4,
         &TMainForm::ActContentExecute},
        {&TMainForm::ActAbout, "ActAbout", true, &TMainForm::suiImageButton8, &TMainForm::ActAboutExecute},
    };
    for (const Binding &b : bindings) {
        QAction *action = form.ActionList1->add(QLatin1String(b.name), b.sys ? Sys : QString());
        form.*b.action = action;
        if (b.handler)
            QObject::connect(action, &QAction::triggered, &form, b.handler);
        (form.*b.button)->setAction(action);
    }

    PictureStrip *strip = form.pictureStrip();
    const std::pair<TsuiImageButton *, QLabel *> descriptions[] = {
        {form.suiImageButton5, form.ImgCDTOISO},        {form.suiImageButton6, form.ImgDATATOISO},
        {form.suiImageButton7, form.ImgBURNISO},        {form.suiImageButton8, form.ImgAbout},
        {form.suiImageButton1, form.ImgWEBSITE},        {form.suiImageButton2, form.ImgEmail},
        {form.suiImageButton4, form.ImgHelp},           {form.suiImageButton9, form.ImgBtnAddFile},
        {form.suiImageButton10, form.ImgBtnRemoveFile}, {form.suiImageButton11, form.ImgBtnClearAll},
        {form.suiImageButton13, form.ImgBtnSaveList},   {form.suiImageButton14, form.ImgBtnLoadList},
        {form.suiImageButton12, form.ImgBtnMakeIso},    {form.suiImageButton15, form.ImgBtnMakeIso},
        {form.suiImageButton16, form.ImgBtnBurnIso},    {form.suiImageButton17, form.ImgBtnCancel},
    };
    for (const auto &[button, banner] : descriptions)
        strip->describe(button, banner);
    strip->setPageBanner(QStringLiteral("CDTOISO"), form.ImgCDTOISO);
    strip->setPageBanner(QStringLiteral("FILETOISO"), form.ImgDATATOISO);
    strip->setPageBanner(QStringLiteral("BURNISO"), form.ImgBURNISO);
}
