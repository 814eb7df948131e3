#include "app/GlobalSettings.h"
#include "mainwindow/MainFormBuild.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TMainForm.h"
#include "mainwindow/TNotebook.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/PageParts.h"
#include "widgets/RatioPicture.h"
#include "widgets/TsuiImageButton.h"
#include "widgets/TsuiSkinForm.h"

#include <QLabel>

#include <future>
#include <vector>

namespace {

TsuiImageButton *frameButton(TMainForm &form, const char *name, const char *face, QPoint pos,
                             bool transparent)
{
    return PageParts::makeButton(&form, QLatin1String(name), face, pos, transparent, Globals().ExeFolder);
}

} // namespace

void MainFormBuild::buildFace(TMainForm &form)
{
    // The skin comes first so that it lies lowest; it shapes the window and sets its size.
    form.suiSkinForm1 = new TsuiSkinForm(&form);
    form.suiSkinForm1->setObjectName(QStringLiteral("suiSkinForm1"));
    form.suiSkinForm1->setTransparentColor(Qt::black);
    // On finer screens the skin and the banners are read on other threads while this one makes the
    // buttons: reading them is a good part of the time before the window can show. At one pixel per
    // point they were read ahead before the application started (PictureReadAhead), and a thread of
    // their own would only add its start and a fresh heap. Only this thread may ask the screens for
    // their ratio, so it asks for them.
    const QString folder = Globals().ExeFolder;
    const qreal ratio = RatioPicture::screenRatio();
    const std::launch reading = ratio > 1 ? std::launch::async : std::launch::deferred;
    std::future<QImage> skinPicture = std::async(
        reading, [folder, ratio] { return RatioPicture::read(folder + ArtworkFiles::skin(), ratio); });
    std::future<std::vector<QImage>> bannerPictures = std::async(reading, [folder, ratio] {
        std::vector<QImage> pictures;
        for (const char *name : ArtworkFiles::Banners)
            pictures.push_back(PageParts::readPicture(folder + ArtworkFiles::banner(name), ratio));
        return pictures;
    });

    form.suiImageButton19 = frameButton(form, "suiImageButton19", "Minimise", {648, 8}, true);
    form.suiImageButton18 = frameButton(form, "suiImageButton18", "Close", {672, 8}, false);
    form.suiImageButton1 = frameButton(form, "suiImageButton1", "Website", {271, 40}, true);
    form.suiImageButton2 = frameButton(form, "suiImageButton2", "EMail", {431, 40}, true);
    form.suiImageButton4 = frameButton(form, "suiImageButton4", "Help", {511, 40}, true);
    form.suiImageButton5 = frameButton(form, "suiImageButton5", "CdToIso", {17, 113}, true);
    form.suiImageButton6 = frameButton(form, "suiImageButton6", "DataToIso", {17, 174}, true);
    form.suiImageButton7 = frameButton(form, "suiImageButton7", "BurnIsoPage", {17, 235}, true);
    form.suiImageButton8 = frameButton(form, "suiImageButton8", "About", {17, 299}, true);

    form.suiSkinForm1->setGlyph(skinPicture.get());

    form.Notebook = new TNotebook(&form);
    form.Notebook->setGeometry(174, 93, 524, 277);

    PictureStrip *strip = form.pictureStrip();
    const QRect place(170, 384, ArtworkFiles::BannerWidth, ArtworkFiles::BannerHeight);
    QLabel **const banners[] = {
        &strip->ImgCDTOISO,       &strip->ImgDATATOISO,   &strip->ImgBURNISO,     &strip->ImgAbout,
        &strip->ImgWEBSITE,       &strip->ImgEmail,       &strip->ImgHelp,        &strip->ImgBtnAddFile,
        &strip->ImgBtnRemoveFile, &strip->ImgBtnClearAll, &strip->ImgBtnSaveList, &strip->ImgBtnLoadList,
        &strip->ImgBtnMakeIso,    &strip->ImgBtnBurnIso,  &strip->ImgBtnCancel,
    };
    static_assert(std::size(banners) == ArtworkFiles::Banners.size());
    const std::vector<QImage> pictures = bannerPictures.get();
    for (std::size_t i = 0; i < std::size(banners); ++i) {
        const char *name = ArtworkFiles::Banners[i];
        QLabel *banner = PageParts::makePicture(&form, QLatin1String(name), pictures[i], place);
        banner->setAccessibleName(QString::fromUtf8(ArtworkFiles::BannerWords[i]));
        banner->hide();
        *banners[i] = banner;
        strip->addBanner(banner);
    }
}
