#include "app/MessageBox.h"
#include "app/GlobalSettings.h"
#include "base/KestraneError.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(ErrorBoxText, AppendsAPeriodOnlyAfterCharactersSortingAfterIt)
{
    const struct
    {
        QString message;
        QString shown;
    } rows[] = {
        {QStringLiteral("File not found"), QStringLiteral("File not found.")},
        {QStringLiteral("code 42"), QStringLiteral("code 42.")},
        {QStringLiteral("Done."), QStringLiteral("Done.")},
        {QStringLiteral("Stop!"), QStringLiteral("Stop!")},
        {QStringLiteral("(see above)"), QStringLiteral("(see above)")},
        {QStringLiteral("a-"), QStringLiteral("a-")},
        {QStringLiteral("a/"), QStringLiteral("a/.")},
        {QStringLiteral("gr\u00fc\u00df"), QStringLiteral("gr\u00fc\u00df.")},
        {QString(), QString()},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ErrorBoxText(row.message), row.shown) << row.message.toStdString();
}

class ThrowingObject final : public QObject
{
public:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw KestraneError(QStringLiteral("Cannot open file \"/x/y.ini\". Permission denied"));
        return QObject::event(e);
    }
};

TEST(ErrorBox, ErrorLeavingAnEventHandlerIsShownAndTheLoopGoesOn)
{
    Globals().ProductTitle = QStringLiteral("Kestrane");
    MessageBoxSeam::takeShown();
    ThrowingObject thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    bool later = false;
    QTimer::singleShot(0, &thrower, [&later] { later = true; });
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("Cannot open file \"/x/y.ini\". Permission denied."));
    EXPECT_EQ(shown[0].caption, QStringLiteral("Kestrane"));
    EXPECT_EQ(shown[0].kind, 0);
    EXPECT_TRUE(later);
}

// The real boxes, answered by pressing their buttons.
struct RealBoxCase
{
    int kind;
    QMessageBox::StandardButton press; // NoButton: press Escape
    int expectedCode;
    QMessageBox::StandardButtons expectedButtons;
};

TEST(MessageBox, RealBoxesHaveInformationIconTitleAndButtonCodes)
{
    const RealBoxCase cases[] = {
        {1, QMessageBox::Ok, IDOK, QMessageBox::Ok},
        {1, QMessageBox::NoButton, IDOK, QMessageBox::Ok},
        {2, QMessageBox::Yes, IDYES, QMessageBox::Yes | QMessageBox::No},
        {2, QMessageBox::No, IDNO, QMessageBox::Yes | QMessageBox::No},
    };
    Globals().ProductTitle = QStringLiteral("Kestrane");
    MessageBoxSeam::disable();
    for (const RealBoxCase &c : cases) {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer.stop();
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
            if (c.press == QMessageBox::NoButton)
                box->reject();
            else
                box->button(c.press)->click();
        });
        answer.start();
        const int code = ShowMessageBox(QStringLiteral("Do you want to burn the ISO file now?"), c.kind);
        EXPECT_EQ(code, c.expectedCode);
        EXPECT_EQ(title, QStringLiteral("Kestrane"));
        EXPECT_EQ(text, QStringLiteral("Do you want to burn the ISO file now?"));
        EXPECT_EQ(icon, QMessageBox::Information);
        EXPECT_EQ(buttons, c.expectedButtons);
    }
    MessageBoxSeam::enable();
}

// Every question defaults to No: Return (what a user presses twice to get past boxes) and Escape
// both answer No; only Yes itself says yes.
struct QuestionKeyCase
{
    const char *name;
    bool danger; // the warning question before overwriting; otherwise a kind 2 box
    int key; // 0: press the Yes button
    int expected;
};

class QuestionDefault : public ::testing::TestWithParam<QuestionKeyCase>
{
};

TEST_P(QuestionDefault, ReturnAndEscapeAnswerNo)
{
    const QuestionKeyCase &c = GetParam();
    MessageBoxSeam::disable();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QAbstractButton *defaultButton = nullptr;
    QAbstractButton *noButton = nullptr;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, &answer, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        answer.stop();
        icon = box->icon();
        defaultButton = box->defaultButton();
        noButton = box->button(QMessageBox::No);
        if (c.key == 0) {
            box->button(QMessageBox::Yes)->click();
            return;
        }
        QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
        QApplication::sendEvent(box, &press);
    });
    answer.start();
    const QString text = QStringLiteral("Do you want to burn the ISO file now?");
    const int code = c.danger ? ShowDangerQuestion(text) : ShowMessageBox(text, 2);
    MessageBoxSeam::enable();
    EXPECT_EQ(code, c.expected);
    EXPECT_NE(noButton, nullptr);
    EXPECT_EQ(defaultButton, noButton);
    EXPECT_EQ(icon, c.danger ? QMessageBox::Warning : QMessageBox::Information);
}

INSTANTIATE_TEST_SUITE_P(Keys, QuestionDefault,
                         ::testing::Values(QuestionKeyCase {"BurnNowReturn", false, Qt::Key_Return, IDNO},
                                           QuestionKeyCase {"BurnNowEnter", false, Qt::Key_Enter, IDNO},
                                           QuestionKeyCase {"BurnNowEscape", false, Qt::Key_Escape, IDNO},
                                           QuestionKeyCase {"BurnNowYes", false, 0, IDYES},
                                           QuestionKeyCase {"DangerReturn", true, Qt::Key_Return, IDNO},
                                           QuestionKeyCase {"DangerEscape", true, Qt::Key_Escape, IDNO},
                                           QuestionKeyCase {"DangerYes", true, 0, IDYES}),
                         [](const ::testing::TestParamInfo<QuestionKeyCase> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST(MessageBox, SeamFallsBackToNoForQuestions)
{
    MessageBoxSeam::takeShown();
    EXPECT_EQ(ShowDangerQuestion(QStringLiteral("Overwrite?")), IDNO);
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Burn?"), 2), IDNO);
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].kind, 4);
    EXPECT_EQ(shown[1].kind, 2);
}

TEST(MessageBox, SeamRecordsAndAnswersFromTheQueue)
{
    Globals().ProductTitle = QStringLiteral("Kestrane");
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(IDYES);
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Do you want to burn the ISO file now?"), 2), IDYES);
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Again?"), 2), IDNO);
    EXPECT_EQ(ShowMessageBox(QStringLiteral("Writing is complete!"), 1), IDOK);
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].kind, 2);
    EXPECT_EQ(shown[2].text, QStringLiteral("Writing is complete!"));
}

} // namespace
