// The main window with its subsystems: the pages, buttons and actions reach the compilation, the
// drive lists, the jobs and the erase window, on the real engine and a virtual drive.
#include "MainFormFixture.h"

#include "EraseLauncher.h"
#include "FileDialogs.h"
#include "MainFormSubsystems.h"
#include "MessageBox.h"
#include "TDVDWriterPro2.h"
#include "TNotebook.h"
#include "TestSupport.h"
#include "TfrmErase.h"
#include "TsuiImageButton.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

// What a user's Space on a focused picture button does: its click.
void press(TsuiImageButton *button)
{
    QTest::keyClick(button, Qt::Key_Space);
}

class WiredMainForm : public MainFormFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drives.isValid());
        qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(drivePath()));
        MainFormFixture::SetUp();
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    }

    QString drivePath() const { return m_drives.filePath(QStringLiteral("drive.iso")); }

    QTemporaryDir m_drives;
};

TEST_F(WiredMainForm, PageSwitchesFillTheDriveListsAndGiveTheTreeItsRoot)
{
    TMainForm &f = *m_form;
    f.ActCDTOISO->trigger();
    EXPECT_EQ(f.CboCdList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_TRUE(f.ImgCDTOISO->isVisibleTo(&f));

    f.ActFILETOISO->trigger();
    ASSERT_EQ(f.TsListDir->topLevelItemCount(), 1);
    EXPECT_EQ(f.TsListDir->topLevelItem(0)->text(0), QStringLiteral("New Disc  {0.00 MB}"));
    EXPECT_TRUE(f.ImgDATATOISO->isVisibleTo(&f));

    f.ActBURNISO->trigger();
    EXPECT_EQ(f.CboCDRWList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_TRUE(f.ImgBURNISO->isVisibleTo(&f));
}

TEST_F(WiredMainForm, MakeIsoThenBurnNowGoesThroughTheWindowToTheDrive)
{
    TMainForm &f = *m_form;
    const QString sources = m_drives.filePath(QStringLiteral("src"));
    ASSERT_TRUE(QDir().mkpath(sources + QStringLiteral("/Photos")));
    TestSupport::writeAll(sources + QStringLiteral("/notes.txt"), "notes\n");
    TestSupport::writeAll(sources + QStringLiteral("/Photos/one.jpg"), QByteArray(5000, 'x'));
    f.ActFILETOISO->trigger();
    f.DVDWriterPro21->AddFolder(QStringLiteral("\\"), sources + QStringLiteral("/*.*"));
    ASSERT_EQ(f.TsListDir->topLevelItem(0)->childCount(), 1); // the tree grew from the engine's events

    const QString iso = m_drives.filePath(QStringLiteral("made.iso"));
    FileDialogSeam::setNextFileName(iso);
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    press(f.suiImageButton12);
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    EXPECT_EQ(f.currentPageName(), QStringLiteral("BURNISO"));
    EXPECT_TRUE(f.ImgBURNISO->isVisibleTo(&f));
    EXPECT_EQ(f.EdtBurnISOPath->text(), iso);
    EXPECT_EQ(TestSupport::readAll(drivePath()), TestSupport::readAll(iso));
    EXPECT_TRUE(f.ActFILETOISOExec->isEnabled());

    // Clear All reaches the compilation.
    f.ActFILETOISO->trigger();
    f.ActFileClear->trigger();
    EXPECT_EQ(f.TsListDir->topLevelItem(0)->childCount(), 0);
}

TEST_F(WiredMainForm, TheEraseButtonOpensAFreshModalEraseWindow)
{
    TMainForm &f = *m_form;
    f.ActBURNISO->trigger();
    EraseLauncher *launcher = f.subsystems()->Erase.get();
    QList<TfrmErase *> seen;
    for (int click = 0; click < 2; ++click) {
        QTimer::singleShot(0, &f, [&] {
            TfrmErase *window = launcher->currentEraseWindow();
            if (window && window->isModal() && window->isVisible())
                seen.append(window);
            if (window)
                window->close();
        });
        press(f.suiImageButton20);
    }
    ASSERT_EQ(seen.size(), 2);
    EXPECT_NE(seen[0], seen[1]);
}

TEST_F(WiredMainForm, EraseThroughTheWindowEmptiesTheVirtualDisc)
{
    TMainForm &f = *m_form;
    TestSupport::writeAll(drivePath(), QByteArray(64 * 2048, 'd')); // a disc holding data
    f.ActBURNISO->trigger();
    EraseLauncher *launcher = f.subsystems()->Erase.get();
    QTimer::singleShot(0, &f, [&] { launcher->currentEraseWindow()->cmdErase->click(); });
    press(f.suiImageButton20); // returns when the window has closed itself

    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 3); // the plain message, no icon
    EXPECT_EQ(launcher->currentEraseWindow()->lblStatus->text(),
              QStringLiteral("Erase operation complete!!!"));
    EXPECT_FALSE(launcher->currentEraseWindow()->isVisible());
    EXPECT_EQ(QFileInfo(drivePath()).size(), 0);
}

} // namespace
