#include "jobs/BurnIsoPage.h"

#include "app/GlobalSettings.h"
#include "widgets/PageParts.h"
#include "widgets/TsuiImageButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

using namespace PageParts;

BurnIsoPage::BurnIsoPage(const QIcon &browse, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("BURNISO"));
    const QString folder = Globals().ExeFolder;
    ImgRecorder = pageLabel(this, "ImgRecorder", 2, {24, 56}, folder);
    CboCDRWList = new QComboBox(this);
    CboCDRWList->setObjectName(QStringLiteral("CboCDRWList"));
    CboCDRWList->setEditable(true);
    CboCDRWList->setInsertPolicy(QComboBox::NoInsert);
    CboCDRWList->setGeometry(88, 58, 361, FieldHeight);
    ImgIsoFile = pageLabel(this, "ImgIsoFile", 3, {24, 98}, folder);
    EdtBurnISOPath = pathField(this, "EdtBurnISOPath", QRect(88, 99, 361, FieldHeight));
    SpeedButton2 = browseButton(this, "SpeedButton2", browse, QRect(449, 98, 23, 22));

    PsBarWriteDisk = new QProgressBar(this);
    PsBarWriteDisk->setObjectName(QStringLiteral("PsBarWriteDisk"));
    PsBarWriteDisk->setGeometry(20, 212, 489, 17);
    PsBarWriteDisk->setRange(0, 100);
    PsBarWriteDisk->setValue(0);
    PsBarWriteDisk->setTextVisible(false);

    // Erase keeps its designed width of 81 with an 80-pixel picture.
    suiImageButton20 = pageButton(this, "suiImageButton20", "Erase", {268, 238}, folder);
    suiImageButton20->setAutoSize(false);
    suiImageButton20->resize(81, 33);
    suiImageButton16 = pageButton(this, "suiImageButton16", "BurnIso", {350, 238}, folder);
    suiImageButton17 = pageButton(this, "suiImageButton17", "Cancel", {429, 238}, folder);
    labelField(ImgRecorder, CboCDRWList);
    labelField(ImgIsoFile, EdtBurnISOPath);
    SpeedButton2->setAccessibleName(QStringLiteral("Choose the ISO file"));
    // The only picture button without an action to take its name from.
    suiImageButton20->setAccessibleName(QStringLiteral("Erase"));

    // Disabled while a burn runs, Burn ISO stays pressed down: the page looks busy.
    suiImageButton16->setPicDisabled(suiImageButton16->PicMouseDown());

    LblBurnStatus = new QLabel(this);
    LblBurnStatus->setObjectName(QStringLiteral("LblBurnStatus"));
    LblBurnStatus->setAccessibleName(QStringLiteral("Burn progress"));
    LblBurnStatus->setGeometry(20, 193, 489, 17);

    ChkVerifyAfterBurn = new QCheckBox(QStringLiteral("Verify after burning"), this);
    ChkVerifyAfterBurn->setObjectName(QStringLiteral("ChkVerifyAfterBurn"));
    ChkVerifyAfterBurn->setAccessibleName(QStringLiteral("Verify after burning"));
    ChkVerifyAfterBurn->setGeometry(20, 244, 240, 21);
}
