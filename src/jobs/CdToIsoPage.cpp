#include "jobs/CdToIsoPage.h"

#include "app/GlobalSettings.h"
#include "widgets/PageParts.h"
#include "widgets/TsuiImageButton.h"

#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

using namespace PageParts;

CdToIsoPage::CdToIsoPage(const QIcon &browse, QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CDTOISO"));
    const QString folder = Globals().ExeFolder;
    ImgSourceDrive = pageLabel(this, "ImgSourceDrive", 0, {12, 58}, folder);
    CboCdList = new QComboBox(this);
    CboCdList->setObjectName(QStringLiteral("CboCdList"));
    CboCdList->setGeometry(149, 60, 310, FieldHeight);
    ImgOutputIsoFile = pageLabel(this, "ImgOutputIsoFile", 1, {44, 94}, folder);
    EdtSavePath = pathField(this, "EdtSavePath", QRect(149, 96, 309, FieldHeight));
    SbtnSelSavepath = browseButton(this, "SbtnSelSavepath", browse, QRect(458, 95, 23, 22));
    suiImageButton15 = pageButton(this, "suiImageButton15", "MakeIso", {432, 238}, folder);
    labelField(ImgSourceDrive, CboCdList);
    labelField(ImgOutputIsoFile, EdtSavePath);
    SbtnSelSavepath->setAccessibleName(QStringLiteral("Choose the output ISO file"));
}
