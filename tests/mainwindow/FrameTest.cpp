#include "MainFormFixture.h"

#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "compilation/CompilationPage.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/TFrmConvertProcess.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TNotebook.h"
#include "widgets/TsuiImageButton.h"
#include "widgets/TsuiSkinForm.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>
#include <QWidget>

namespace {

using Frame = MainFormFixture;

TEST_F(Frame, TheWindowIsShapedByTheShippedSkin)
{
    const QImage skin(QStringLiteral(KESTRANE_PROGRAM_DIR "/Image/Skin.png"));
    ASSERT_EQ(skin.size(), QSize(718, 463));
    EXPECT_EQ(m_form->size(), QSize(718, 463));
    EXPECT_TRUE(m_form->windowFlags().testFlag(Qt::FramelessWindowHint));

    // Inside exactly where the picture is not black, the last column never.
    const QRegion mask = m_form->mask();
    int differences = 0;
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            const bool expected = x < skin.width() - 1 && (skin.pixel(x, y) & 0xffffff) != 0;
            differences += mask.contains(QPoint(x, y)) != expected;
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(717, 231)));
    EXPECT_TRUE(mask.contains(QPoint(716, 231)));
    EXPECT_TRUE(mask.contains(QPoint(359, 231)));
}

TEST_F(Frame, ControlsSitWhereTheLayoutPutsThem)
{
    TMainForm &f = *m_form;
    const std::pair<QWidget *, QRect> rows[] = {
        {f.suiSkinForm1, {0, 0, 718, 463}},
        {f.suiImageButton19, {648, 8, 26, 28}},
        {f.suiImageButton18, {672, 8, 26, 28}},
        {f.suiImageButton1, {271, 40, 70, 50}},
        {f.suiImageButton2, {431, 40, 70, 50}},
        {f.suiImageButton4, {511, 40, 70, 50}},
        {f.suiImageButton5, {17, 113, 132, 61}},
        {f.suiImageButton6, {17, 174, 132, 61}},
        {f.suiImageButton7, {17, 235, 132, 61}},
        {f.suiImageButton8, {17, 299, 132, 61}},
        {f.Notebook, {174, 93, 524, 277}},
        {f.pictureStrip()->ImgCDTOISO, {170, 384, 500, 59}},
        {f.cdPage()->ImgSourceDrive, {12, 58, 135, 23}},
        {f.cdPage()->ImgOutputIsoFile, {44, 94, 100, 23}},
        {f.cdPage()->EdtSavePath, {149, 96, 309, 21}},
        {f.cdPage()->SbtnSelSavepath, {458, 95, 23, 22}},
        {f.cdPage()->suiImageButton15, {432, 238, 80, 33}},
        {f.compilationPage()->suiImageButton9, {23, 238, 80, 33}},
        {f.compilationPage()->suiImageButton12, {422, 238, 80, 33}},
        {f.burnPage()->ImgRecorder, {24, 56, 63, 23}},
        {f.burnPage()->EdtBurnISOPath, {88, 99, 361, 21}},
        {f.burnPage()->SpeedButton2, {449, 98, 23, 22}},
        {f.burnPage()->PsBarWriteDisk, {20, 212, 489, 17}},
        {f.burnPage()->suiImageButton20, {268, 238, 81, 33}},
        {f.burnPage()->suiImageButton16, {350, 238, 80, 33}},
        {f.burnPage()->suiImageButton17, {429, 238, 80, 33}},
    };
    for (const auto &[widget, geometry] : rows)
        EXPECT_EQ(widget->geometry(), geometry) << widget->objectName().toStdString();
    EXPECT_EQ(f.cdPage()->CboCdList->geometry().topLeft(), QPoint(149, 60));
    EXPECT_EQ(f.cdPage()->CboCdList->width(), 310);
    EXPECT_EQ(f.burnPage()->CboCDRWList->width(), 361);
    EXPECT_EQ(f.font().pointSize(), 8);

    // The buttons on the frame let the skin show through; the close button and the page buttons do not.
    for (TsuiImageButton *b : {f.suiImageButton19, f.suiImageButton1, f.suiImageButton2, f.suiImageButton4,
                               f.suiImageButton5, f.suiImageButton6, f.suiImageButton7, f.suiImageButton8})
        EXPECT_TRUE(b->Transparent()) << b->objectName().toStdString();
    for (TsuiImageButton *b : {f.suiImageButton18, f.cdPage()->suiImageButton15,
                               f.burnPage()->suiImageButton20, f.burnPage()->suiImageButton16})
        EXPECT_FALSE(b->Transparent()) << b->objectName().toStdString();
    // Nor does the progress window's Cancel, which lies over the moving animation.
    ASSERT_NE(f.secondaryWindows().FrmConvertProcess, nullptr);
    EXPECT_FALSE(f.secondaryWindows().FrmConvertProcess->suiImageButton1->Transparent());
}

TEST_F(Frame, TransparentButtonsShowTheSkinAtTheirCutOutPixels)
{
    TMainForm &f = *m_form;
    const QImage skin(QStringLiteral(KESTRANE_PROGRAM_DIR "/Image/Skin.png"));
    const QImage face = f.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (TsuiImageButton *b : {f.suiImageButton1, f.suiImageButton5, f.suiImageButton19}) {
        SCOPED_TRACE(b->objectName().toStdString());
        const QImage picture = b->PicNormal().bitmap();
        const QRgb key = picture.pixel(0, 0);
        int keyed = 0;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                const QPoint at = b->pos() + QPoint(x, y);
                if (picture.pixel(x, y) == key) {
                    ++keyed;
                    EXPECT_EQ(face.pixel(at), skin.pixel(at));
                } else {
                    EXPECT_EQ(face.pixel(at), picture.pixel(x, y));
                }
            }
        }
        EXPECT_GT(keyed, 0);
    }
}

TEST_F(Frame, MissingPicturesLeaveBlanksButAWorkingWindow)
{
    const QString empty = m_root.filePath(QStringLiteral("bare")) + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(empty));
    Globals().ExeFolder = empty;
    TMainForm bare;
    EXPECT_EQ(bare.size(), QSize(718, 463));
    EXPECT_TRUE(bare.mask().isEmpty());
    EXPECT_EQ(bare.suiImageButton5->currentPicture().size(), QSize(74, 21));
    EXPECT_EQ(bare.suiImageButton5->size(), QSize(75, 25)); // no picture size to take
    bare.ActionList1->ActBURNISO->trigger();
    EXPECT_EQ(bare.currentPageName(), QStringLiteral("BURNISO"));
    EXPECT_EQ(bare.pictureStrip()->visibleBanner(), bare.pictureStrip()->ImgBURNISO);
    EXPECT_TRUE(bare.pictureStrip()->ImgBURNISO->pixmap().isNull());
    for (const auto &shown : MessageBoxSeam::takeShown())
        EXPECT_NE(shown.kind, 0) << shown.text.toStdString();
}

} // namespace
