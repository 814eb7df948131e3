// What a screen reader finds in the window and the windows it opens: every control it can focus has a
// name and the role of what it is, and a picture button presses as a push button does.
#include "MainFormFixture.h"

#include "app/GlobalSettings.h"
#include "compilation/TFrmFilesSelect.h"
#include "dialogs/TAboutForm.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/TFrmConvertProcess.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/TActionList.h"
#include "widgets/TsuiImageButton.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

// The role a focusable control must show, by what it is; NoRole where the class does not decide it.
QAccessible::Role roleOf(const QObject *object)
{
    if (qobject_cast<const TsuiImageButton *>(object))
        return QAccessible::Button;
    if (const auto *tool = qobject_cast<const QToolButton *>(object))
        return tool->menu() && tool->popupMode() == QToolButton::InstantPopup ? QAccessible::ButtonMenu
                                                                              : QAccessible::Button;
    if (qobject_cast<const QCheckBox *>(object))
        return QAccessible::CheckBox;
    if (qobject_cast<const QPushButton *>(object))
        return QAccessible::Button;
    if (qobject_cast<const QComboBox *>(object))
        return QAccessible::ComboBox;
    if (qobject_cast<const QLineEdit *>(object) || qobject_cast<const QPlainTextEdit *>(object))
        return QAccessible::EditableText;
    return QAccessible::NoRole;
}

// Roles that tell a listener nothing about what a control does.
bool saysNothing(QAccessible::Role role)
{
    return role == QAccessible::NoRole || role == QAccessible::Client || role == QAccessible::Pane ||
        role == QAccessible::Grouping || role == QAccessible::Window;
}

QString describe(const QObject *object)
{
    const QString name = object->objectName();
    return name.isEmpty() ? QString::fromLatin1(object->metaObject()->className()) : name;
}

// Walks what is shown below `iface` and names every focusable control without a name or with the
// wrong role. The rows of a list are the user's files and are left to the list.
void walk(QAccessibleInterface *iface, const QString &path, QStringList &faults)
{
    if (iface->state().invisible)
        return;
    QObject *object = iface->object();
    const QString here = object ? path + QLatin1Char('/') + describe(object) : path;
    if (object && iface->state().focusable) {
        const QAccessible::Role expected = roleOf(object);
        const QAccessible::Role role = iface->role();
        if (iface->text(QAccessible::Name).trimmed().isEmpty())
            faults.append(here + QStringLiteral(": no name"));
        if (expected != QAccessible::NoRole ? role != expected : saysNothing(role))
            faults.append(here + QStringLiteral(": role 0x%1").arg(int(role), 0, 16));
    }
    if (qobject_cast<QAbstractItemView *>(object))
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface *child = iface->child(i))
            walk(child, here, faults);
}

struct Place
{
    const char *name;
    // Shows the page or window and returns the window to walk.
    QWidget *(*open)(TMainForm &form);
    QAccessible::Role windowRole;
    // The window gets its texts at the main window's first show, which the fixture skips.
    bool filledAtFirstShow = false;
};

QWidget *page(TMainForm &form, QAction *TActionList::*action)
{
    (form.ActionList1->*action)->trigger();
    return &form;
}

const Place Places[] = {
    {"CdPage", [](TMainForm &f) { return page(f, &TActionList::ActCDTOISO); }, QAccessible::Window},
    {"FilesPage", [](TMainForm &f) { return page(f, &TActionList::ActFILETOISO); }, QAccessible::Window},
    {"BurnPage", [](TMainForm &f) { return page(f, &TActionList::ActBURNISO); }, QAccessible::Window},
    {"Picker", [](TMainForm &f) -> QWidget * { return f.secondaryWindows().FrmFilesSelect; },
     QAccessible::Dialog},
    {"About", [](TMainForm &f) -> QWidget * { return f.secondaryWindows().AboutForm; }, QAccessible::Dialog,
     true},
    {"EraseWindow", [](TMainForm &f) -> QWidget * { return new TfrmErase(&f); }, QAccessible::Dialog},
    {"ProgressWindow", [](TMainForm &f) -> QWidget * { return f.secondaryWindows().FrmConvertProcess; },
     QAccessible::Dialog},
};

class EveryControlIsNamed : public MainFormFixture, public ::testing::WithParamInterface<Place>
{
};

TEST_P(EveryControlIsNamed, AndHasTheRoleOfWhatItIs)
{
    if (GetParam().filledAtFirstShow) {
        Globals().FirstShow = true;
        Globals().FirstRun = false; // the shorter start-up pause
    }
    m_form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    QWidget *window = GetParam().open(*m_form);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    QAccessibleInterface *top = QAccessible::queryAccessibleInterface(window);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->role(), GetParam().windowRole);
    EXPECT_FALSE(window->windowTitle().isEmpty());
    EXPECT_EQ(top->text(QAccessible::Name), window->windowTitle());

    QStringList faults;
    for (int i = 0; i < top->childCount(); ++i)
        walk(top->child(i), describe(window), faults);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QLatin1Char('\n')).toStdString();
    if (window != m_form.get())
        window->hide();
}

INSTANTIATE_TEST_SUITE_P(Windows, EveryControlIsNamed, ::testing::ValuesIn(Places),
                         [](const ::testing::TestParamInfo<Place> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

using PictureButtonPress = MainFormFixture;

// The press action is the button's click: the command runs, and a button whose command is off does not
// offer it.
TEST_F(PictureButtonPress, PressActionRunsTheCommandUnlessItIsOff)
{
    struct Row
    {
        TsuiImageButton *TMainForm::*button;
        const char *name;
        QLabel *PictureStrip::*banner; // says what the button does, to the eye and to the ear
        const char *page;
        bool commandOff;
    };
    const Row rows[] = {
        {&TMainForm::suiImageButton6, "Data to ISO", &PictureStrip::ImgDATATOISO, "FILETOISO", false},
        {&TMainForm::suiImageButton7, "Burn ISO page", &PictureStrip::ImgBURNISO, "BURNISO", false},
        {&TMainForm::suiImageButton5, "CD to ISO", &PictureStrip::ImgCDTOISO, "CDTOISO", false},
        {&TMainForm::suiImageButton6, "Data to ISO", &PictureStrip::ImgDATATOISO, "CDTOISO", true},
    };
    m_form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.commandOff ? " off" : ""));
        m_form->ActionList1->ActCDTOISO->trigger();
        TsuiImageButton *button = (*m_form).*row.button;
        button->Action()->setEnabled(!row.commandOff);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(button);
        ASSERT_NE(iface, nullptr);
        EXPECT_EQ(iface->role(), QAccessible::Button);
        EXPECT_EQ(iface->text(QAccessible::Name), QLatin1String(row.name));
        const QString banner = (m_form->pictureStrip()->*row.banner)->accessibleName();
        EXPECT_FALSE(banner.isEmpty());
        EXPECT_EQ(iface->text(QAccessible::Description), banner);
        QAccessibleActionInterface *actions = iface->actionInterface();
        ASSERT_NE(actions, nullptr);
        EXPECT_EQ(actions->actionNames().contains(QAccessibleActionInterface::pressAction()),
                  !row.commandOff);

        actions->doAction(QAccessibleActionInterface::pressAction());
        EXPECT_EQ(m_form->currentPageName(), QLatin1String(row.page));
        button->Action()->setEnabled(true);
    }
}

using LabelledFields = MainFormFixture;

// A screen reader names a field by its label: the label is its buddy, and the field's interface says
// which label labels it.
TEST_F(LabelledFields, EachLabelNamesItsField)
{
    TMainForm &f = *m_form;
    const struct
    {
        const char *name;
        QLabel *label;
        QWidget *field;
    } rows[] = {
        {"SourceDrive", f.cdPage()->ImgSourceDrive, f.cdPage()->CboCdList},
        {"OutputIsoFile", f.cdPage()->ImgOutputIsoFile, f.cdPage()->EdtSavePath},
        {"Recorder", f.burnPage()->ImgRecorder, f.burnPage()->CboCDRWList},
        {"IsoFile", f.burnPage()->ImgIsoFile, f.burnPage()->EdtBurnISOPath},
        {"PickerLocation", f.secondaryWindows().FrmFilesSelect->Label1,
         f.secondaryWindows().FrmFilesSelect->ShellDeviceBox},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.label->buddy(), row.field);
        QAccessibleInterface *label = QAccessible::queryAccessibleInterface(row.label);
        QAccessibleInterface *field = QAccessible::queryAccessibleInterface(row.field);
        ASSERT_NE(label, nullptr);
        ASSERT_NE(field, nullptr);
        const QString words = label->text(QAccessible::Name);
        EXPECT_FALSE(words.isEmpty());
        bool labelled = false;
        for (const auto &[other, relation] : field->relations(QAccessible::Label))
            labelled |= other->object() == row.label;
        EXPECT_TRUE(labelled);
        // A picture label has no text of its own to lend: the field carries the words too.
        if (!row.label->pixmap().isNull()) {
            EXPECT_EQ(field->text(QAccessible::Name), words);
        }
    }
}

using KeyboardStart = MainFormFixture;

// The keyboard starts in the source drive's field: Space and Enter right after the start reach the
// page, not the window's Minimise button.
TEST_F(KeyboardStart, FocusStartsInTheFirstField)
{
    m_form->show();
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    EXPECT_EQ(QApplication::focusWidget(), m_form->cdPage()->CboCdList);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(m_form->isMinimized());
    EXPECT_TRUE(m_form->isVisible());
}

} // namespace
