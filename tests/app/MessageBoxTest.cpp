#include "app/MessageBox.h"
#include "app/GlobalSettings.h"
#include "settings/KestraneError.h"

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

// Before overwriting a stick: Enter and Escape both keep it; only Yes itself writes.
TEST(MessageBox, DangerQuestionDefaultsToNo)
{
    const std::pair<int, int> keysAndCodes[] = {
        {Qt::Key_Return, IDNO}, {Qt::Key_Escape, IDNO}, {Qt::Key_Y, IDYES}};
    MessageBoxSeam::disable();
    for (const auto &[key, expected] : keysAndCodes) {
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, &answer, [&, pressed = key] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            answer.stop();
            icon = box->icon();
            if (pressed == Qt::Key_Y)
                box->button(QMessageBox::Yes)->click();
            else {
                QKeyEvent press(QEvent::KeyPress, pressed, Qt::NoModifier);
                QApplication::sendEvent(box, &press);
            }
        });
        answer.start();
        EXPECT_EQ(ShowDangerQuestion(QStringLiteral("Everything on the stick will be overwritten.")),
                  expected)
            << key;
        EXPECT_EQ(icon, QMessageBox::Warning);
    }
    MessageBoxSeam::enable();
    MessageBoxSeam::takeShown();
    EXPECT_EQ(ShowDangerQuestion(QStringLiteral("Overwrite?")), IDNO) << "the seam's fallback is No too";
    EXPECT_EQ(MessageBoxSeam::takeShown().value(0).kind, 4);
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
