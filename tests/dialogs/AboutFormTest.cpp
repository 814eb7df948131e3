#include "TestSupport.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Shell.h"
#include "dialogs/TAboutForm.h"
#include "dialogs/TThankForm.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

class AboutWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Globals().ExeFolder = m_dir.path() + QLatin1Char('/');
        Globals().ProductFileStem = QStringLiteral("Kestrane");
        Globals().ProductTitle = QStringLiteral("Kestrane");
        m_about.setThankForm(&m_thanks);
        MessageBoxSeam::takeShown();
    }

    // Clicks Thank and answers what the thanks window showed, or nothing when it did not open.
    std::optional<QString> clickThank()
    {
        std::optional<QString> shown;
        QTimer::singleShot(0, &m_thanks, [&] {
            if (m_thanks.isVisible()) {
                shown = m_thanks.Memo1->toPlainText();
                m_thanks.accept();
            }
        });
        m_about.ThankButtonClick();
        QCoreApplication::processEvents();
        return shown;
    }

    QString thanksPath() const { return m_dir.filePath(QStringLiteral("Kestrane_thank.txt")); }

    QTemporaryDir m_dir;
    TAboutForm m_about;
    TThankForm m_thanks;
};

TEST_F(AboutWindow, ThanksFileHidesCommentLinesAndIsReloadedAtEveryClick)
{
    TestSupport::writeAll(thanksPath(), "// header\r\nFirst\r\n\r\n//x\r\nSecond\r\n");
    EXPECT_EQ(clickThank(), QStringLiteral("First\n\nSecond"));
    TestSupport::writeAll(thanksPath(), " // kept\nThird");
    EXPECT_EQ(clickThank(), QStringLiteral(" // kept\nThird"));
    EXPECT_TRUE(MessageBoxSeam::takeShown().isEmpty());
}

TEST_F(AboutWindow, VanishedThanksFileShowsTheErrorAndNoWindow)
{
    EXPECT_EQ(clickThank(), std::nullopt);
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("File not found."));
    EXPECT_EQ(shown[0].kind, 0);
    EXPECT_TRUE(m_thanks.Memo1->toPlainText().isEmpty());
}

// Each link opens through the desktop by the mouse, by the keyboard once Tab has reached it, and by a
// screen reader's press; the window still opens with the focus on OK, so Enter closes it.
TEST_F(AboutWindow, LinksOpenThroughTheDesktop)
{
    ShellSeam::enable();
    m_about.URL->setText(QStringLiteral("https://www.varnholt.example/kestrane"));
    m_about.EMAIL->setText(QStringLiteral("support@varnholt.example"));
    m_about.URL->adjustSize();
    m_about.EMAIL->adjustSize();
    m_about.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_about));
    EXPECT_EQ(m_about.focusWidget(), m_about.Button1);

    const struct
    {
        const char *way;
        std::function<void(LinkLabel *)> open;
    } ways[] = {
        {"click",
         [](LinkLabel *link) {
             QTest::mouseClick(link, Qt::LeftButton);
         }},
        {"Return",
         [](LinkLabel *link) {
             QTest::keyClick(link, Qt::Key_Return);
         }},
        {"keypad Enter",
         [](LinkLabel *link) {
             QTest::keyClick(link, Qt::Key_Enter, Qt::KeypadModifier);
         }},
        {"Space",
         [](LinkLabel *link) {
             QTest::keyClick(link, Qt::Key_Space);
         }},
        {"press action",
         [](LinkLabel *link) {
             QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(link);
             ASSERT_NE(iface, nullptr);
             EXPECT_EQ(iface->role(), QAccessible::Link);
             EXPECT_EQ(iface->text(QAccessible::Name), link->text());
             iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
         }},
    };
    for (const auto &way : ways) {
        SCOPED_TRACE(way.way);
        m_about.URL->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(m_about.URL->hasFocus());
        way.open(m_about.URL);
        m_about.EMAIL->setFocus(Qt::TabFocusReason);
        way.open(m_about.EMAIL);
        EXPECT_EQ(ShellSeam::takeOpened(),
                  QStringList({QStringLiteral("https://www.varnholt.example/kestrane"),
                               QStringLiteral("mailto:support@varnholt.example")}));
    }
    QTest::keyClick(m_about.URL, Qt::Key_A);
    EXPECT_TRUE(ShellSeam::takeOpened().isEmpty()) << "another key opened the link";

    // Left on a link and shown again, the window starts on OK.
    m_about.hide();
    m_about.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_about));
    EXPECT_EQ(m_about.focusWidget(), m_about.Button1);
    m_about.hide();
    ShellSeam::disable();
}

TEST_F(AboutWindow, HiddenGestureNeedsAllThreeStepsInOrder)
{
    const QPoint inPress = TAboutForm::pressArea().center();
    const QPoint inRelease = TAboutForm::releaseArea().center();
    const auto pressKeys = Qt::ControlModifier | Qt::ShiftModifier;
    const auto releaseKeys = Qt::ControlModifier | Qt::AltModifier;
    const struct
    {
        const char *name;
        bool company;
        QPoint press;
        Qt::KeyboardModifiers pressMods;
        QPoint release;
        Qt::KeyboardModifiers releaseMods;
        bool shown;
    } rows[] = {
        {"all_three_steps", true, inPress, pressKeys, inRelease, releaseKeys, true},
        {"no_company_click", false, inPress, pressKeys, inRelease, releaseKeys, false},
        {"press_outside_area", true, QPoint(150, 10), pressKeys, inRelease, releaseKeys, false},
        {"press_wrong_keys", true, inPress, releaseKeys, inRelease, releaseKeys, false},
        {"release_wrong_area", true, inPress, pressKeys, inPress, releaseKeys, false},
        {"release_wrong_keys", true, inPress, pressKeys, inRelease, pressKeys, false},
    };
    for (const auto &row : rows) {
        TAboutForm about;
        if (row.company)
            about.CompanyTopClick();
        about.Image1MouseDown(row.press, row.pressMods);
        about.Image1MouseUp(row.release, row.releaseMods);
        EXPECT_EQ(!about.Memo1->isHidden(), row.shown) << row.name;
        EXPECT_EQ(about.gestureState(), 0) << row.name;
        EXPECT_EQ(about.Memo1->toPlainText(), QStringLiteral("Date:06-09-2003"));
    }
}

} // namespace

TEST_F(AboutWindow, ThanksWindowKeepsOpenOnEscapeButClosesOnACloseRequest)
{
    bool openAfterEscape = false;
    bool openAfterCloseRequest = true;
    QTimer::singleShot(0, &m_thanks, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&m_thanks, &escape);
        openAfterEscape = m_thanks.isVisible();
        m_thanks.close(); // what the window frame's close box asks for
        openAfterCloseRequest = m_thanks.isVisible();
        if (m_thanks.isVisible())
            m_thanks.done(QDialog::Accepted); // the test must not hang on a window left open
    });
    m_thanks.exec();
    EXPECT_TRUE(openAfterEscape);
    EXPECT_FALSE(openAfterCloseRequest);
}
