#include "MainFormFixture.h"

#include "compilation/CompilationPage.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TNotebook.h"
#include "widgets/TsuiImageButton.h"
#include "widgets/TsuiSkinForm.h"

#include <QAction>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTreeWidget>

namespace {

using Strip = MainFormFixture;

void enter(QWidget *widget)
{
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
    QCoreApplication::sendEvent(widget, &event);
}

// The pointer can only be over a button of the current page.
void enterOnItsPage(TMainForm &f, TsuiImageButton *button)
{
    if (f.Notebook->indexOf(button->parentWidget()) >= 0)
        f.Notebook->setCurrentWidget(button->parentWidget());
    enter(button);
}

void moveOver(QWidget *widget)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

// Counts how often a banner is hidden or shown.
class Flips final : public QObject
{
public:
    explicit Flips(QWidget *watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            ++count;
        return false;
    }
};

TEST_F(Strip, EnteringAButtonShowsItsBanner)
{
    TMainForm &f = *m_form;
    const std::pair<TsuiImageButton *, QLabel *> rows[] = {
        {f.suiImageButton5, f.pictureStrip()->ImgCDTOISO},
        {f.suiImageButton6, f.pictureStrip()->ImgDATATOISO},
        {f.suiImageButton7, f.pictureStrip()->ImgBURNISO},
        {f.suiImageButton8, f.pictureStrip()->ImgAbout},
        {f.suiImageButton1, f.pictureStrip()->ImgWEBSITE},
        {f.suiImageButton2, f.pictureStrip()->ImgEmail},
        {f.suiImageButton4, f.pictureStrip()->ImgHelp},
        {f.compilationPage()->suiImageButton9, f.pictureStrip()->ImgBtnAddFile},
        {f.compilationPage()->suiImageButton10, f.pictureStrip()->ImgBtnRemoveFile},
        {f.compilationPage()->suiImageButton11, f.pictureStrip()->ImgBtnClearAll},
        {f.compilationPage()->suiImageButton13, f.pictureStrip()->ImgBtnSaveList},
        {f.compilationPage()->suiImageButton14, f.pictureStrip()->ImgBtnLoadList},
        {f.compilationPage()->suiImageButton12, f.pictureStrip()->ImgBtnMakeIso},
        {f.cdPage()->suiImageButton15, f.pictureStrip()->ImgBtnMakeIso},
        {f.burnPage()->suiImageButton16, f.pictureStrip()->ImgBtnBurnIso},
        {f.burnPage()->suiImageButton17, f.pictureStrip()->ImgBtnCancel},
    };
    for (const auto &[button, banner] : rows) {
        SCOPED_TRACE(button->objectName().toStdString());
        f.ShowPictureStrip(f.pictureStrip()->ImgHelp == banner ? f.pictureStrip()->ImgAbout
                                                               : f.pictureStrip()->ImgHelp);
        enterOnItsPage(f, button);
        EXPECT_EQ(f.pictureStrip()->visibleBanner(), banner);
        EXPECT_FALSE(banner->pixmap().isNull());
    }
    // Erase and the two title-bar buttons leave the strip as it is.
    for (TsuiImageButton *button : {f.burnPage()->suiImageButton20, f.suiImageButton18, f.suiImageButton19}) {
        SCOPED_TRACE(button->objectName().toStdString());
        enterOnItsPage(f, button);
        EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBtnCancel);
    }
    // A button of a page that is not current describes nothing, even if Qt hands it an enter.
    f.Notebook->setActivePage(QStringLiteral("BURNISO"));
    enter(f.compilationPage()->suiImageButton12);
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBtnCancel);
}

TEST_F(Strip, TheBackgroundBringsBackThePageBannerOnlyWhenItIsNotUp)
{
    TMainForm &f = *m_form;
    struct Row
    {
        QAction *TActionList::*page;
        QLabel *PictureStrip::*banner;
    };
    for (const Row &row : {Row {&TActionList::ActCDTOISO, &PictureStrip::ImgCDTOISO},
                           Row {&TActionList::ActFILETOISO, &PictureStrip::ImgDATATOISO},
                           Row {&TActionList::ActBURNISO, &PictureStrip::ImgBURNISO}}) {
        (f.ActionList1->*row.page)->trigger();
        QLabel *banner = f.pictureStrip()->*row.banner;
        SCOPED_TRACE(banner->objectName().toStdString());
        for (QWidget *background :
             {static_cast<QWidget *>(f.suiSkinForm1), static_cast<QWidget *>(f.Notebook)}) {
            enter(f.suiImageButton8);
            ASSERT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgAbout);
            moveOver(background);
            EXPECT_EQ(f.pictureStrip()->visibleBanner(), banner);

            Flips flips(banner);
            moveOver(background);
            moveOver(background);
            EXPECT_EQ(flips.count, 0);
        }
    }
}

TEST_F(Strip, ThePointerOverTheTreeLeavesTheButtonBannerUp)
{
    TMainForm &f = *m_form;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.ActionList1->ActFILETOISO->trigger();
    QWindow *window = f.windowHandle();
    const auto at = [&f](QWidget *w, QPoint offset = {5, 5}) {
        return w->mapTo(&f, offset);
    };

    // The pointer comes in over the frame, then goes to a button.
    QTest::mouseMove(window, QPoint(300, 20));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgDATATOISO);
    QTest::mouseMove(window, at(f.compilationPage()->suiImageButton9));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBtnAddFile);
    QTest::mouseMove(window, at(f.compilationPage()->TsListDir->viewport(), {30, 30}));
    QTest::mouseMove(window, at(f.compilationPage()->LsviewFile->viewport(), {30, 30}));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBtnAddFile);
    // The free space of the page, below the views.
    QTest::mouseMove(window, at(f.Notebook, {5, 232}));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgDATATOISO);

    QTest::mouseMove(window, at(f.suiImageButton6));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgDATATOISO);
    QTest::mouseMove(window, at(f.suiImageButton8));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgAbout);
    // The frame's skin between the buttons.
    QTest::mouseMove(window, QPoint(300, 20));
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgDATATOISO);
}

} // namespace
