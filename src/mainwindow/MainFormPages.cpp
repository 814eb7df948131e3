#include "app/GlobalSettings.h"
#include "mainwindow/MainFormBuild.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TNotebook.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/ImageList.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>

using MainFormBuild::makeButton;
using MainFormBuild::makePicture;

namespace {

constexpr int FieldHeight = 21;
const QColor PageColour(255, 255, 255);

// The buttons on a page are not transparent: their background is the page's white.
TsuiImageButton *pageButton(QWidget *page, const char *name, const char *face, QPoint pos)
{
    TsuiImageButton *button = makeButton(page, QLatin1String(name), face, pos, false);
    button->setColor(PageColour);
    return button;
}

QLabel *pageLabel(QWidget *page, const char *name, int index, QPoint pos)
{
    const ArtworkFiles::Face &face = ArtworkFiles::PageLabels[index];
    QLabel *label = makePicture(page, QLatin1String(name), ArtworkFiles::pageLabel(face.name),
                                QRect(pos, QSize(face.width, face.height)));
    // Moves over a label picture count as moves over the page.
    label->setMouseTracking(true);
    return label;
}

QToolButton *browseButton(QWidget *page, const char *name, const QIcon &icon, const QRect &geometry)
{
    auto *button = new QToolButton(page);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setIcon(icon);
    button->setText(QStringLiteral("..."));
    button->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    return button;
}

QLineEdit *pathField(QWidget *page, const char *name, const QRect &geometry)
{
    auto *field = new QLineEdit(page);
    field->setObjectName(QLatin1String(name));
    field->setGeometry(geometry);
    field->setReadOnly(true);
    return field;
}

void buildCdPage(TMainForm &form, QWidget *page, const QIcon &browse)
{
    form.ImgSourceDrive = pageLabel(page, "ImgSourceDrive", 0, {12, 58});
    form.CboCdList = new QComboBox(page);
    form.CboCdList->setObjectName(QStringLiteral("CboCdList"));
    form.CboCdList->setGeometry(149, 60, 310, FieldHeight);
    form.ImgOutputIsoFile = pageLabel(page, "ImgOutputIsoFile", 1, {44, 94});
    form.EdtSavePath = pathField(page, "EdtSavePath", QRect(149, 96, 309, FieldHeight));
    form.SbtnSelSavepath = browseButton(page, "SbtnSelSavepath", browse, QRect(458, 95, 23, 22));
    form.suiImageButton15 = pageButton(page, "suiImageButton15", "MakeIso", {432, 238});
}

void buildFilesPage(TMainForm &form, QWidget *page, const QList<QIcon> &icons)
{
    form.Panel1 = new QWidget(page);
    form.Panel1->setObjectName(QStringLiteral("Panel1"));
    form.Panel1->setGeometry(1, 2, 522, 227);
    auto *layout = new QHBoxLayout(form.Panel1);
    layout->setContentsMargins(0, 0, 0, 0);
    form.Splitter1 = new QSplitter(Qt::Horizontal, form.Panel1);
    form.Splitter1->setObjectName(QStringLiteral("Splitter1"));
    form.Splitter1->setChildrenCollapsible(false);
    layout->addWidget(form.Splitter1);

    // The compilation page gives both views their columns, selection and behaviour.
    form.TsListDir = new QTreeWidget(form.Splitter1);
    form.TsListDir->setObjectName(QStringLiteral("TsListDir"));
    form.LsviewFile = new QTreeWidget(form.Splitter1);
    form.LsviewFile->setObjectName(QStringLiteral("LsviewFile"));

    form.PopupMenu1 = new QMenu(&form);
    form.PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    form.ChangeVolume1 = form.PopupMenu1->addAction(QStringLiteral("Change  Volume"));
    form.ChangeVolume1->setObjectName(QStringLiteral("ChangeVolume1"));
    if (icons.size() > 2)
        form.ChangeVolume1->setIcon(icons[2]);

    form.suiImageButton9 = pageButton(page, "suiImageButton9", "AddFile", {23, 238});
    form.suiImageButton10 = pageButton(page, "suiImageButton10", "RemoveFile", {102, 238});
    form.suiImageButton11 = pageButton(page, "suiImageButton11", "ClearAll", {182, 238});
    form.suiImageButton13 = pageButton(page, "suiImageButton13", "SaveList", {262, 238});
    form.suiImageButton14 = pageButton(page, "suiImageButton14", "LoadList", {342, 238});
    form.suiImageButton12 = pageButton(page, "suiImageButton12", "MakeIso", {422, 238});
}

void buildBurnPage(TMainForm &form, QWidget *page, const QIcon &browse)
{
    form.ImgRecorder = pageLabel(page, "ImgRecorder", 2, {24, 56});
    form.CboCDRWList = new QComboBox(page);
    form.CboCDRWList->setObjectName(QStringLiteral("CboCDRWList"));
    form.CboCDRWList->setEditable(true);
    form.CboCDRWList->setInsertPolicy(QComboBox::NoInsert);
    form.CboCDRWList->setGeometry(88, 58, 361, FieldHeight);
    form.ImgIsoFile = pageLabel(page, "ImgIsoFile", 3, {24, 98});
    form.EdtBurnISOPath = pathField(page, "EdtBurnISOPath", QRect(88, 99, 361, FieldHeight));
    form.SpeedButton2 = browseButton(page, "SpeedButton2", browse, QRect(449, 98, 23, 22));

    form.PsBarWriteDisk = new QProgressBar(page);
    form.PsBarWriteDisk->setObjectName(QStringLiteral("PsBarWriteDisk"));
    form.PsBarWriteDisk->setGeometry(20, 212, 489, 17);
    form.PsBarWriteDisk->setRange(0, 100);
    form.PsBarWriteDisk->setValue(0);
    form.PsBarWriteDisk->setTextVisible(false);

    // Erase keeps its designed width of 81 with an 80-pixel picture.
    form.suiImageButton20 = pageButton(page, "suiImageButton20", "Erase", {268, 238});
    form.suiImageButton20->setAutoSize(false);
    form.suiImageButton20->resize(81, 33);
    form.suiImageButton16 = pageButton(page, "suiImageButton16", "BurnIso", {350, 238});
    form.suiImageButton17 = pageButton(page, "suiImageButton17", "Cancel", {429, 238});
}

} // namespace

void MainFormBuild::buildPages(TMainForm &form)
{
    const QList<QIcon> icons = LoadImageList(Globals().ExeFolder);
    const QIcon browse = icons.value(0);
    buildCdPage(form, form.Notebook->addPage(QStringLiteral("CDTOISO")), browse);
    buildFilesPage(form, form.Notebook->addPage(QStringLiteral("FILETOISO")), icons);
    buildBurnPage(form, form.Notebook->addPage(QStringLiteral("BURNISO")), browse);
    form.Notebook->setActivePage(QStringLiteral("CDTOISO"));
}
