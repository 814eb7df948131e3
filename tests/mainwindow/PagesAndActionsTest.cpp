#include "MainFormFixture.h"

#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/Shell.h"
#include "compilation/CompilationPage.h"
#include "dialogs/TAboutForm.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "mainwindow/TActionList.h"
#include "mainwindow/TNotebook.h"
#include "widgets/TsuiImageButton.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <set>

namespace {

using PagesAndActions = MainFormFixture;

TEST_F(PagesAndActions, EachPageSwitchRunsTheEntryWorkAlsoToTheCurrentPage)
{
    struct Row
    {
        QAction *TActionList::*action;
        const char *page;
        QLabel *PictureStrip::*banner;
        bool clearsSavePath;
        bool clearsFileList;
    };
    const Row rows[] = {
        {&TActionList::ActCDTOISO, "CDTOISO", &PictureStrip::ImgCDTOISO, true, false},
        {&TActionList::ActFILETOISO, "FILETOISO", &PictureStrip::ImgDATATOISO, false, true},
        {&TActionList::ActBURNISO, "BURNISO", &PictureStrip::ImgBURNISO, true, false},
    };
    TMainForm &f = *m_form;
    for (const Row &row : rows) {
        for (int time = 1; time <= 2; ++time) {
            SCOPED_TRACE(std::string(row.page) + " switch " + std::to_string(time));
            f.cdPage()->EdtSavePath->setText(QStringLiteral("/tmp/old.iso"));
            f.burnPage()->EdtBurnISOPath->setText(QStringLiteral("/tmp/burn.iso"));
            new QTreeWidgetItem(f.compilationPage()->LsviewFile, {QStringLiteral("a.txt")});
            f.ShowPictureStrip(f.pictureStrip()->ImgAbout);

            (f.ActionList1->*row.action)->trigger();
            EXPECT_EQ(f.currentPageName(), QLatin1String(row.page));
            EXPECT_EQ(f.cdPage()->EdtSavePath->text().isEmpty(), row.clearsSavePath);
            EXPECT_EQ(f.compilationPage()->LsviewFile->topLevelItemCount() == 0, row.clearsFileList);
            EXPECT_EQ(f.burnPage()->EdtBurnISOPath->text(), QStringLiteral("/tmp/burn.iso"));
            EXPECT_FALSE((f.pictureStrip()->*row.banner)->isHidden());
            EXPECT_TRUE(f.pictureStrip()->ImgAbout->isHidden());
        }
    }
}

TEST_F(PagesAndActions, ActionsCarryTheirCategoryAndTheirButton)
{
    TMainForm &f = *m_form;
    const std::set<QString> jobControls = {
        "ActCDTOISO",     "ActFILETOISO",     "ActBURNISO",      "ActFileAdd",
        "ActFileDel",     "ActFileClear",     "ActSaveFileList", "ActLoadFileList",
        "ActCDTOISOExec", "ActFILETOISOExec", "ActBURNISOExec",
    };
    const std::set<QString> sys = {"ActCancelBURNISOExec",
                                   "ActApplicationClose",
                                   "ActMainFormMinSize",
                                   "ActWebsite",
                                   "ActEMail",
                                   "ActContent",
                                   "ActAbout"};
    std::set<QString> seen;
    for (QAction *action : f.ActionList1->actions()) {
        const QString name = action->objectName();
        seen.insert(name);
        if (jobControls.count(name))
            EXPECT_TRUE(TActionList::Category(action).isEmpty()) << name.toStdString();
        else
            EXPECT_EQ(TActionList::Category(action), QStringLiteral("sys")) << name.toStdString();
    }
    std::set<QString> all = jobControls;
    all.insert(sys.begin(), sys.end());
    EXPECT_EQ(seen, all);

    const std::pair<TsuiImageButton *, QAction *> bound[] = {
        {f.suiImageButton5, f.ActionList1->ActCDTOISO},
        {f.suiImageButton6, f.ActionList1->ActFILETOISO},
        {f.suiImageButton7, f.ActionList1->ActBURNISO},
        {f.compilationPage()->suiImageButton9, f.ActionList1->ActFileAdd},
        {f.compilationPage()->suiImageButton10, f.ActionList1->ActFileDel},
        {f.compilationPage()->suiImageButton11, f.ActionList1->ActFileClear},
        {f.cdPage()->suiImageButton15, f.ActionList1->ActCDTOISOExec},
        {f.compilationPage()->suiImageButton12, f.ActionList1->ActFILETOISOExec},
        {f.compilationPage()->suiImageButton13, f.ActionList1->ActSaveFileList},
        {f.compilationPage()->suiImageButton14, f.ActionList1->ActLoadFileList},
        {f.burnPage()->suiImageButton16, f.ActionList1->ActBURNISOExec},
        {f.burnPage()->suiImageButton17, f.ActionList1->ActCancelBURNISOExec},
        {f.suiImageButton18, f.ActionList1->ActApplicationClose},
        {f.suiImageButton19, f.ActionList1->ActMainFormMinSize},
        {f.suiImageButton1, f.ActionList1->ActWebsite},
        {f.suiImageButton2, f.ActionList1->ActEMail},
        {f.suiImageButton4, f.ActionList1->ActContent},
        {f.suiImageButton8, f.ActionList1->ActAbout},
    };
    for (const auto &[button, action] : bound) {
        EXPECT_EQ(button->Action(), action) << button->objectName().toStdString();
        // A locked job control disables its button; the Erase button has no action and stays usable.
        action->setEnabled(false);
        EXPECT_FALSE(button->isEnabled()) << button->objectName().toStdString();
        action->setEnabled(true);
    }
    EXPECT_EQ(f.burnPage()->suiImageButton20->Action(), nullptr);
}

TEST_F(PagesAndActions, WebsiteMailAndHelpGoToTheShell)
{
    TMainForm &f = *m_form;
    f.ActionList1->ActWebsite->trigger();
    f.ActionList1->ActEMail->trigger();
    f.ActionList1->ActContent->trigger();
    EXPECT_EQ(
        ShellSeam::takeOpened(),
        QStringList({Globals().HomePageAddress, QStringLiteral("mailto:") + Globals().SupportMailAddress,
                     programFolder() + QStringLiteral("Help.html")}));
}

TEST_F(PagesAndActions, BrowseButtonsFillTheirFieldAndCancellingEmptiesIt)
{
    struct Row
    {
        QToolButton *button;
        QLineEdit *field;
        bool save;
    };
    TMainForm &f = *m_form;
    for (const Row &row : {Row {f.cdPage()->SbtnSelSavepath, f.cdPage()->EdtSavePath, true},
                           Row {f.burnPage()->SpeedButton2, f.burnPage()->EdtBurnISOPath, false}}) {
        SCOPED_TRACE(row.save);
        FileDialogSeam::setNextFileName(QStringLiteral("/home/ann/disc.iso"));
        row.button->click();
        EXPECT_EQ(row.field->text(), QStringLiteral("/home/ann/disc.iso"));
        row.button->click(); // nothing queued: the dialog is cancelled
        EXPECT_EQ(row.field->text(), QString());

        const auto asked = FileDialogSeam::takeAsked();
        ASSERT_EQ(asked.size(), 2);
        for (const auto &a : asked) {
            EXPECT_EQ(a.save, row.save);
            EXPECT_EQ(a.filter, QStringLiteral("ISO Files(*.iso)|*.iso"));
            EXPECT_EQ(a.defaultExt, QStringLiteral(".iso"));
        }
    }
}

TEST(FileDialogFilter, TranslatesPairsIntoQtFilters)
{
    EXPECT_EQ(QtFileDialogFilter(QStringLiteral("ISO Files(*.iso)|*.iso")),
              QStringLiteral("ISO Files(*.iso)"));
    EXPECT_EQ(QtFileDialogFilter(QStringLiteral("Lists|*.mst;*.txt|All|*.*")),
              QStringLiteral("Lists (*.mst *.txt);;All (*.*)"));
}

TEST(FileDialogs, ACancelledDialogLeavesTheNameAsItWas)
{
    FileDialogSeam::enable();
    QString name = QStringLiteral("/keep/me.mst");
    AskOpenFileName(QStringLiteral("ISO List File(*.mst)|*.mst"), QStringLiteral(".mst"), name);
    EXPECT_EQ(name, QStringLiteral("/keep/me.mst"));
    FileDialogSeam::setNextFileName(QStringLiteral("/new/list.mst"));
    AskSaveFileName(QStringLiteral("ISO List File(*.mst)|*.mst"), QStringLiteral(".mst"), name);
    EXPECT_EQ(name, QStringLiteral("/new/list.mst"));
    FileDialogSeam::disable();
}

TEST_F(PagesAndActions, TheReaderListIgnoresTypedCharacters)
{
    QComboBox *list = m_form->cdPage()->CboCdList;
    list->addItems({QStringLiteral("D:Vendor Reader"), QStringLiteral("E:Other Writer")});
    list->setCurrentIndex(0);
    QTest::keyClicks(list, QStringLiteral("E "));
    EXPECT_EQ(list->currentIndex(), 0);
    // Picking from the list still works, by keys that type nothing.
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 1);

    // With the drop-down open the keys go to its list, whose keyboard search would pick an entry.
    list->setCurrentIndex(0);
    list->showPopup();
    ASSERT_TRUE(list->view()->isVisible());
    QTest::keyClicks(list->view(), QStringLiteral("E"));
    QTest::keyClick(list->view(), Qt::Key_Return);
    EXPECT_EQ(list->currentIndex(), 0);
    list->hidePopup();
}

TEST_F(PagesAndActions, AboutShowsTheAboutWindowModally)
{
    TAboutForm *about = m_form->secondaryWindows().AboutForm;
    bool wasModal = false;
    QTimer::singleShot(0, about, [&] {
        wasModal = about->isVisible() && about->isModal();
        about->reject();
    });
    m_form->ActionList1->ActAbout->trigger();
    EXPECT_TRUE(wasModal);
}

TEST_F(PagesAndActions, CloseEndsTheWindowAndWritesTheSettings)
{
    m_form->show();
    m_form->ActionList1->ActMainFormMinSize->trigger();
    EXPECT_TRUE(m_form->isMinimized());
    m_form->ActionList1->ActApplicationClose->trigger();
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_TRUE(QFile::exists(programFolder() + QStringLiteral("Kestrane_option.ini")));
    EXPECT_TRUE(QFile::exists(programFolder() + QStringLiteral("Kestrane_skinfile.ini")));
}

} // namespace
