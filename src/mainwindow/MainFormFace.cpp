#include "app/GlobalSettings.h"
#include "mainwindow/MainFormBuild.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TNotebook.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/ButtonFaces.h"
#include "widgets/TsuiImageButton.h"
#include "widgets/TsuiSkinForm.h"

#include <QImageReader>
#include <QLabel>
#include <QPixmap>

TsuiImageButton *MainFormBuild::makeButton(QWidget *parent, const QString &name, const char *face, QPoint pos,
                                           bool transparent)
{
    auto *button = new TsuiImageButton(parent);
    button->setObjectName(name);
    button->setUIStyle(QStringLiteral("FromThemeFile"));
    button->move(pos);
    button->setAutoSize(true);
    button->setTransparent(transparent);
    LoadButtonFace(button, Globals().ExeFolder, face);
    return button;
}

QLabel *MainFormBuild::makePicture(QWidget *parent, const QString &name, const QString &file,
                                   const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QImageReader reader(Globals().ExeFolder + file);
    const QImage image = reader.read();
    if (!image.isNull())
        label->setPixmap(QPixmap::fromImage(image));
    return label;
}

void MainFormBuild::buildFace(TMainForm &form)
{
    // The skin comes first so that it lies lowest; it shapes the window and sets its size.
    form.suiSkinForm1 = new TsuiSkinForm(&form);
    form.suiSkinForm1->setObjectName(QStringLiteral("suiSkinForm1"));
    form.suiSkinForm1->setTransparentColor(Qt::black);
    QImageReader skin(Globals().ExeFolder + ArtworkFiles::skin());
    form.suiSkinForm1->setGlyph(skin.read());

    form.suiImageButton19 = makeButton(&form, QStringLiteral("suiImageButton19"), "Minimise", {648, 8}, true);
    form.suiImageButton18 = makeButton(&form, QStringLiteral("suiImageButton18"), "Close", {672, 8}, false);
    form.suiImageButton1 = makeButton(&form, QStringLiteral("suiImageButton1"), "Website", {271, 40}, true);
    form.suiImageButton2 = makeButton(&form, QStringLiteral("suiImageButton2"), "EMail", {431, 40}, true);
    form.suiImageButton4 = makeButton(&form, QStringLiteral("suiImageButton4"), "Help", {511, 40}, true);
    form.suiImageButton5 = makeButton(&form, QStringLiteral("suiImageButton5"), "CdToIso", {17, 113}, true);
    form.suiImageButton6 = makeButton(&form, QStringLiteral("suiImageButton6"), "DataToIso", {17, 174}, true);
    form.suiImageButton7 =
        makeButton(&form, QStringLiteral("suiImageButton7"), "BurnIsoPage", {17, 235}, true);
    form.suiImageButton8 = makeButton(&form, QStringLiteral("suiImageButton8"), "About", {17, 299}, true);

    form.Notebook = new TNotebook(&form);
    form.Notebook->setGeometry(174, 93, 524, 277);

    const QRect strip(170, 384, ArtworkFiles::BannerWidth, ArtworkFiles::BannerHeight);
    QLabel **const banners[] = {
        &form.ImgCDTOISO,       &form.ImgDATATOISO,   &form.ImgBURNISO,     &form.ImgAbout,
        &form.ImgWEBSITE,       &form.ImgEmail,       &form.ImgHelp,        &form.ImgBtnAddFile,
        &form.ImgBtnRemoveFile, &form.ImgBtnClearAll, &form.ImgBtnSaveList, &form.ImgBtnLoadList,
        &form.ImgBtnMakeIso,    &form.ImgBtnBurnIso,  &form.ImgBtnCancel,
    };
    static_assert(std::size(banners) == ArtworkFiles::Banners.size());
    for (std::size_t i = 0; i < std::size(banners); ++i) {
        const char *name = ArtworkFiles::Banners[i];
        QLabel *banner = makePicture(&form, QLatin1String(name), ArtworkFiles::banner(name), strip);
        banner->hide();
        *banners[i] = banner;
        form.pictureStrip()->addBanner(banner);
    }
}
