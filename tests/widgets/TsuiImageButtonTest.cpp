#include "widgets/TsuiImageButton.h"

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QColor Key(255, 0, 255);
const QColor Backdrop(0, 128, 128);

// A plain picture of one colour whose top-left 4 x 4 corner holds the key colour.
QImage picture(const QColor &colour, QSize size = {40, 20})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixelColor(x, y, Key);
    return image;
}

const QColor NormalColour(200, 30, 30);
const QColor OnColour(30, 200, 30);
const QColor DownColour(30, 30, 200);

class ImageButton : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(200, 120);
        QPalette p = m_window->palette();
        p.setColor(QPalette::Window, Backdrop);
        m_window->setPalette(p);
        m_window->setAutoFillBackground(true);
        m_button = new TsuiImageButton(m_window.get());
        m_button->move(50, 40);
        m_button->setAutoSize(true);
        m_button->setPicNormal(TsuiPicture(picture(NormalColour)));
        m_button->setPicMouseOn(TsuiPicture(picture(OnColour)));
        m_button->setPicMouseDown(TsuiPicture(picture(DownColour)));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    QWindow *handle() const { return m_window->windowHandle(); }
    QPoint inside() const { return m_button->geometry().center(); }
    QPoint outside() const { return m_button->geometry().bottomRight() + QPoint(20, 20); }
    // The colour the button shows in the middle of its picture.
    QColor shown() const { return m_button->grab().toImage().pixelColor(20, 10); }

    std::unique_ptr<QWidget> m_window;
    TsuiImageButton *m_button = nullptr;
};

TEST_F(ImageButton, TakesThePictureSizeAndShowsThePictureOfItsState)
{
    EXPECT_EQ(m_button->size(), QSize(40, 20));
    QSignalSpy clicks(m_button, &TsuiImageButton::OnClick);
    QSignalSpy enters(m_button, &TsuiImageButton::OnMouseEnter);
    EXPECT_EQ(shown(), NormalColour);

    QTest::mouseMove(handle(), inside());
    EXPECT_EQ(enters.size(), 1);
    EXPECT_EQ(shown(), OnColour);

    QTest::mousePress(handle(), Qt::LeftButton, {}, inside());
    EXPECT_EQ(shown(), DownColour);
    QTest::mouseRelease(handle(), Qt::LeftButton, {}, inside());
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_EQ(shown(), OnColour);

    QTest::mouseMove(handle(), outside());
    EXPECT_EQ(shown(), NormalColour);
}

TEST_F(ImageButton, DraggingOffShowsTheNormalPictureAndReleasingThereDoesNotClick)
{
    QSignalSpy clicks(m_button, &TsuiImageButton::OnClick);
    QTest::mouseMove(handle(), inside());
    QTest::mousePress(handle(), Qt::LeftButton, {}, inside());
    QTest::mouseMove(handle(), outside());
    EXPECT_FALSE(m_button->isPressed());
    EXPECT_EQ(shown(), NormalColour);
    // Coming back during the same press does not show the pressed picture again.
    QTest::mouseMove(handle(), inside());
    EXPECT_EQ(shown(), NormalColour);
    QTest::mouseMove(handle(), outside());
    QTest::mouseRelease(handle(), Qt::LeftButton, {}, outside());
    EXPECT_EQ(clicks.size(), 0);
    EXPECT_FALSE(m_button->isRepeating());
}

TEST_F(ImageButton, ADisabledActionLeavesTheButtonLookingNormalAndDeaf)
{
    QAction action;
    QSignalSpy triggered(&action, &QAction::triggered);
    m_button->setAction(&action);
    action.setEnabled(false);
    EXPECT_FALSE(m_button->isEnabled());
    const QImage before = m_button->grab().toImage();
    EXPECT_EQ(before.pixelColor(20, 10), NormalColour); // not greyed

    QTest::mouseMove(handle(), inside());
    QTest::mouseClick(handle(), Qt::LeftButton, {}, inside());
    m_button->setFocus();
    QTest::keyClick(m_button, Qt::Key_Space);
    EXPECT_EQ(triggered.size(), 0);
    EXPECT_EQ(m_button->grab().toImage(), before);

    action.setEnabled(true);
    EXPECT_TRUE(m_button->isEnabled());
    action.setVisible(false);
    EXPECT_TRUE(m_button->isHidden());
    action.setVisible(true);
    action.setText(QStringLiteral("Go"));
    EXPECT_EQ(m_button->Caption(), QStringLiteral("Go"));
    QTest::mouseMove(handle(), inside());
    QTest::mouseClick(handle(), Qt::LeftButton, {}, inside());
    EXPECT_EQ(triggered.size(), 1);
}

TEST_F(ImageButton, SpaceAndEnterClickTheFocusedButton)
{
    QSignalSpy clicks(m_button, &TsuiImageButton::OnClick);
    int expected = 0;
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
        SCOPED_TRACE(key);
        m_button->setFocus();
        QTest::keyPress(m_button, key);
        EXPECT_TRUE(m_button->isPressed());
        EXPECT_EQ(shown(), DownColour);
        QTest::keyRelease(m_button, key);
        EXPECT_EQ(clicks.size(), ++expected);
        EXPECT_FALSE(m_button->isPressed());
    }
    // Other keys do nothing.
    QTest::keyClick(m_button, Qt::Key_A);
    EXPECT_EQ(clicks.size(), expected);
}

TEST_F(ImageButton, PressingTakesTheFocusAndStartsTheRepeatEvent)
{
    auto *field = new QLineEdit(m_window.get());
    field->setGeometry(0, 0, 40, 20);
    field->show();
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    QSignalSpy repeats(m_button, &TsuiImageButton::OnMouseContinuouslyDown);
    m_button->setMouseContinuouslyDownInterval(20);

    QTest::mouseMove(handle(), inside());
    QTest::mousePress(handle(), Qt::LeftButton, {}, inside());
    EXPECT_TRUE(m_button->hasFocus());
    EXPECT_TRUE(repeats.wait(2000));
    EXPECT_TRUE(m_button->isRepeating());
    QTest::mouseRelease(handle(), Qt::LeftButton, {}, inside());
    EXPECT_FALSE(m_button->isRepeating());
}

TEST_F(ImageButton, KeyColourShowsTheWindowBehindOnlyWhenTransparent)
{
    const QPoint keyPixel = m_button->pos() + QPoint(1, 1);
    const QPoint bodyPixel = m_button->pos() + QPoint(20, 10);
    struct Row
    {
        bool transparent;
        QColor atKey;
    };
    for (const Row &row : {Row {true, Backdrop}, Row {false, Key}}) {
        SCOPED_TRACE(row.transparent);
        m_button->setTransparent(row.transparent);
        const QImage window = m_window->grab().toImage();
        EXPECT_EQ(window.pixelColor(keyPixel), row.atKey);
        EXPECT_EQ(window.pixelColor(bodyPixel), NormalColour);
    }
}

TEST_F(ImageButton, AWiderButtonThanItsPictureShowsItsColourInTheUncoveredColumn)
{
    const QColor page(255, 255, 255);
    m_button->setPicNormal(TsuiPicture(picture(NormalColour, {80, 33})));
    m_button->setAutoSize(false);
    m_button->resize(81, 33);
    m_button->setColor(page);
    const QImage image = m_button->grab().toImage();
    ASSERT_EQ(image.width(), 81);
    for (int y = 0; y < 33; ++y) {
        EXPECT_EQ(image.pixelColor(80, y), page) << y;
        EXPECT_EQ(image.pixelColor(79, y), NormalColour) << y;
    }
}

TEST_F(ImageButton, AnUnreadablePictureDrawsTheBlankBitmap)
{
    m_button->setPicMouseOn(TsuiPicture::fromFile(QStringLiteral("/nonexistent/picture.png")));
    m_button->setPicNormal(TsuiPicture::fromFile(QStringLiteral(KESTRANE_TEST_DATA "/../CMakeLists.txt")));
    // The size stays what it was: an unreadable picture has none to take.
    EXPECT_EQ(m_button->size(), QSize(40, 20));
    EXPECT_EQ(m_button->currentPicture().size(), QSize(74, 21));
    QTest::mouseMove(handle(), inside());
    EXPECT_EQ(m_button->currentPicture().size(), QSize(74, 21));
    EXPECT_FALSE(m_button->grab().isNull());
}

TEST_F(ImageButton, AClickCopiesItsModalResultIntoTheDialog)
{
    QDialog dialog;
    auto *button = new TsuiImageButton(&dialog);
    button->setPicNormal(TsuiPicture(picture(NormalColour)));
    dialog.open();
    button->Click(); // 0 closes nothing
    EXPECT_TRUE(dialog.isVisible());
    button->setModalResult(QDialog::Accepted);
    button->Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// How the focus reaches the button, step by step.
enum class Step { Tab, Backtab, Mouse, Program, Space };

struct FocusArrival
{
    const char *name;
    std::vector<Step> steps;
    bool drawFocused;
    bool mark;
};

class FocusMark : public ImageButton, public ::testing::WithParamInterface<FocusArrival>
{
};

// The mark shows where the keyboard is, and only then: a mouse click leaves no frame behind.
TEST_P(FocusMark, IsDrawnOnlyWhenTheKeyboardBroughtOrUsedTheFocus)
{
    const FocusArrival &row = GetParam();
    m_button->setDrawFocused(row.drawFocused);
    auto *field = new QLineEdit(m_window.get()); // after the button in the Tab order
    field->setGeometry(50, 80, 60, 20);
    field->show();
    for (Step step : row.steps) {
        switch (step) {
        case Step::Tab:
        case Step::Backtab:
            field->setFocus();
            QTest::keyClick(field, step == Step::Tab ? Qt::Key_Tab : Qt::Key_Backtab);
            break;
        case Step::Mouse:
            QTest::mouseMove(handle(), inside());
            QTest::mouseClick(handle(), Qt::LeftButton, {}, inside());
            break;
        case Step::Program:
            m_button->setFocus();
            break;
        case Step::Space:
            QTest::keyClick(m_button, Qt::Key_Space);
            break;
        }
    }
    ASSERT_TRUE(m_button->hasFocus());
    EXPECT_EQ(m_button->showsFocusMark(), row.mark);
    const QImage focused = m_button->grab().toImage();
    m_button->clearFocus();
    const QImage unfocused = m_button->grab().toImage();
    EXPECT_EQ(focused != unfocused, row.mark);
    // The mark lies on the inset frame and leaves the middle of the picture alone.
    EXPECT_EQ(focused.pixelColor(20, 10), unfocused.pixelColor(20, 10));
    if (row.mark) {
        const QColor edge = focused.pixelColor(m_button->FocusedRectMargin(), 10);
        EXPECT_TRUE(edge == QColor(Qt::white) || edge.lightness() < 40) << edge.name().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arrivals, FocusMark,
    ::testing::Values(FocusArrival {"Tab", {Step::Tab}, false, true},
                      FocusArrival {"Backtab", {Step::Backtab}, false, true},
                      FocusArrival {"MouseClick", {Step::Mouse}, false, false},
                      FocusArrival {"SetByTheProgram", {Step::Program}, false, false},
                      FocusArrival {"MouseClickThenSpace", {Step::Mouse, Step::Space}, false, true},
                      FocusArrival {"TabThenMouseClick", {Step::Tab, Step::Mouse}, false, false},
                      FocusArrival {"MouseClickWithDrawFocused", {Step::Mouse}, true, true}),
    [](const ::testing::TestParamInfo<FocusArrival> &testInfo) { return std::string(testInfo.param.name); });

// A screen reader hears the name the button was given, else the caption drawn on it.
struct NameSource
{
    const char *name;
    const char *given;
    const char *caption;
    const char *heard;
};

class SpokenName : public ImageButton, public ::testing::WithParamInterface<NameSource>
{
};

TEST_P(SpokenName, IsTheGivenNameElseTheCaption)
{
    const NameSource &row = GetParam();
    QAction action;
    action.setText(QLatin1String(row.caption));
    m_button->setAction(&action);
    m_button->setAccessibleName(QLatin1String(row.given));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Button);
    EXPECT_EQ(iface->text(QAccessible::Name), QLatin1String(row.heard));
}

INSTANTIATE_TEST_SUITE_P(Sources, SpokenName,
                         ::testing::Values(NameSource {"Given", "Make ISO", "", "Make ISO"},
                                           NameSource {"CaptionOfTheAction", "", " Go ", "Go"},
                                           NameSource {"GivenOverCaption", "Stop", "Go", "Stop"},
                                           NameSource {"None", "", "", ""}),
                         [](const ::testing::TestParamInfo<NameSource> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

// The press action is a click of a button the user could click: not of a disabled or hidden one.
TEST_F(ImageButton, PressActionClicksOnlyAButtonThatCanBeClicked)
{
    struct Row
    {
        const char *name;
        bool enabled;
        bool visible;
        int clicks;
    };
    const Row rows[] = {
        {"ShownAndEnabled", true, true, 1}, {"Disabled", false, true, 0}, {"Hidden", true, false, 0}};
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_button);
    ASSERT_NE(iface, nullptr);
    QAccessibleActionInterface *actions = iface->actionInterface();
    ASSERT_NE(actions, nullptr);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_button->setEnabled(row.enabled);
        m_button->setVisible(row.visible);
        QSignalSpy clicks(m_button, &TsuiImageButton::OnClick);
        EXPECT_EQ(actions->actionNames().contains(QAccessibleActionInterface::pressAction()), row.enabled);
        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(clicks.size(), row.clicks);
        EXPECT_FALSE(m_button->isPressed());
    }
}

} // namespace
