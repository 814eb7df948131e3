#include "MainFormFixture.h"

#include "TestSupport.h"
#include "mainwindow/PictureStrip.h"
#include "widgets/TsuiImageButton.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

// Runs on a real X server (xvfb-run): the window system itself cuts the shape and sends the pointer.
class RealWindow : public MainFormFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs an X server";
        MainFormFixture::SetUp();
        // A red window behind the program shows through everything outside its shape.
        m_behind = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        QPalette p = m_behind->palette();
        p.setColor(QPalette::Window, Qt::red);
        m_behind->setPalette(p);
        m_behind->setAutoFillBackground(true);
        m_behind->setGeometry(QGuiApplication::primaryScreen()->geometry());
        m_behind->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_behind.get()));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        QTest::qWait(300);
    }

    QImage screen() const { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

    std::unique_ptr<QWidget> m_behind;
};

TEST_F(RealWindow, BlackCornersAndTheLastColumnShowTheWindowBehind)
{
    const QImage skin(QStringLiteral(KESTRANE_PROGRAM_DIR "/Image/Skin.png"));
    const QImage shot = screen();
    const QPoint origin = m_form->mapToGlobal(QPoint(0, 0));
    for (QPoint outside : {QPoint(0, 0), QPoint(717, 0), QPoint(0, 462), QPoint(717, 462), QPoint(717, 231)})
        EXPECT_EQ(shot.pixelColor(origin + outside), QColor(Qt::red)) << outside.x() << "," << outside.y();
    for (QPoint frame : {QPoint(4, 231), QPoint(359, 2), QPoint(359, 455), QPoint(713, 300)})
        EXPECT_EQ(shot.pixel(origin + frame), skin.pixel(frame)) << frame.x() << "," << frame.y();
}

TEST_F(RealWindow, ThePointerOverAButtonLightsItAndShowsItsBanner)
{
    TsuiImageButton *about = m_form->suiImageButton8;
    QCursor::setPos(m_form->mapToGlobal(QPoint(300, 20)));
    QCursor::setPos(about->mapToGlobal(about->rect().center()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return about->isHover(); }, 3000));
    EXPECT_EQ(m_form->pictureStrip()->visibleBanner(), m_form->pictureStrip()->ImgAbout);
    QTest::qWait(100);

    // The screen shows the pointer-on picture where it is not cut out.
    const QImage shot = screen();
    const QImage lit = about->PicMouseOn().bitmap();
    const QPoint origin = about->mapToGlobal(QPoint(0, 0));
    const QPoint probe(66, 8); // on the button's face, away from its badge and text
    ASSERT_NE(lit.pixel(probe), lit.pixel(0, 0));
    EXPECT_EQ(shot.pixel(origin + probe), lit.pixel(probe));

    QCursor::setPos(m_form->mapToGlobal(QPoint(300, 20)));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !about->isHover(); }, 3000));
    EXPECT_EQ(m_form->pictureStrip()->visibleBanner(), m_form->pictureStrip()->ImgCDTOISO);
}

} // namespace
