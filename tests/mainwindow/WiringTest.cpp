// The main window with its subsystems: the pages, buttons and actions reach the compilation, the
// drive lists, the jobs and the erase window, on the real engine and a virtual drive.
#include "MainFormFixture.h"

#include "DesktopBus.h"
#include "ImageTestSupport.h"
#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/MessageBox.h"
#include "compilation/CompilationPage.h"
#include "compilation/TFrmFilesSelect.h"
#include "compilation/TFrmSetVolume.h"
#include "core/SleepInhibitor.h"
#include "engine/DiscContents.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/EraseLauncher.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/MainFormSubsystems.h"
#include "mainwindow/PictureStrip.h"
#include "mainwindow/TNotebook.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace {

// Burns and erases hold a lock against sleep and may notify the desktop: the program talks to buses of
// its own only, started before any test runs.
[[maybe_unused]] ::testing::Environment *const ownBuses =
    ::testing::AddGlobalTestEnvironment(new DesktopBus::OwnBuses);

// What a user's Space on a focused picture button does: its click.
void press(TsuiImageButton *button)
{
    QTest::keyClick(button, Qt::Key_Space);
}

// A drive list fills when the drive thread's answer arrives.
bool waitForEntries(QComboBox *list, int count)
{
    return TestSupport::waitFor([list, count] { return list->count() == count; }, 30000);
}

class WiredMainForm : public MainFormFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_drives.isValid());
        qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(virtualDrives()));
        MainFormFixture::SetUp();
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    }

    QString drivePath() const { return m_drives.filePath(QStringLiteral("drive.iso")); }
    virtual QString virtualDrives() const { return drivePath(); }

    // Answers the next "Set Volume" window with the text and OK.
    void answerVolumeWindow(const QString &text)
    {
        QTimer::singleShot(0, m_form.get(), [text] {
            if (auto *window = qobject_cast<TFrmSetVolume *>(QApplication::activeModalWidget())) {
                window->EdtVolume->setText(text);
                window->Button1->click();
            }
        });
    }

    QTemporaryDir m_drives;
};

TEST_F(WiredMainForm, PageSwitchesFillTheDriveListsAndGiveTheTreeItsRoot)
{
    TMainForm &f = *m_form;
    f.ActionList1->ActCDTOISO->trigger();
    ASSERT_TRUE(waitForEntries(f.cdPage()->CboCdList, 1));
    EXPECT_EQ(f.cdPage()->CboCdList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_TRUE(f.pictureStrip()->ImgCDTOISO->isVisibleTo(&f));

    f.ActionList1->ActFILETOISO->trigger();
    ASSERT_EQ(f.compilationPage()->TsListDir->topLevelItemCount(), 1);
    EXPECT_EQ(f.compilationPage()->TsListDir->topLevelItem(0)->text(0),
              QStringLiteral("New Disc  {0.00 MB}"));
    EXPECT_TRUE(f.pictureStrip()->ImgDATATOISO->isVisibleTo(&f));

    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 1));
    EXPECT_EQ(f.burnPage()->CboCDRWList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    EXPECT_TRUE(f.pictureStrip()->ImgBURNISO->isVisibleTo(&f));
}

TEST_F(WiredMainForm, MakeIsoThenBurnNowGoesThroughTheWindowToTheDrive)
{
    TMainForm &f = *m_form;
    const QString sources = m_drives.filePath(QStringLiteral("src"));
    ASSERT_TRUE(QDir().mkpath(sources + QStringLiteral("/Photos")));
    TestSupport::writeAll(sources + QStringLiteral("/notes.txt"), "notes\n");
    TestSupport::writeAll(sources + QStringLiteral("/Photos/one.jpg"), QByteArray(5000, 'x'));
    f.ActionList1->ActFILETOISO->trigger();
    f.DVDWriterPro21->AddFolder(QStringLiteral("\\"), sources + QStringLiteral("/*.*"));
    ASSERT_EQ(f.compilationPage()->TsListDir->topLevelItem(0)->childCount(),
              1); // the tree grew from the engine's events

    const QString iso = m_drives.filePath(QStringLiteral("made.iso"));
    FileDialogSeam::setNextFileName(iso);
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    press(f.compilationPage()->suiImageButton12);
    // The burn started from the question keeps the job controls locked until it ends.
    EXPECT_FALSE(f.ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_FALSE(f.ActionList1->ActFILETOISOExec->isEnabled());
    EXPECT_FALSE(f.burnPage()->CboCDRWList->isEnabled());
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_EQ(f.currentPageName(), QStringLiteral("BURNISO"));
    EXPECT_TRUE(f.pictureStrip()->ImgBURNISO->isVisibleTo(&f));
    EXPECT_EQ(f.burnPage()->EdtBurnISOPath->text(), iso);
    EXPECT_EQ(TestSupport::readAll(drivePath()), TestSupport::readAll(iso));
    EXPECT_TRUE(f.ActionList1->ActFILETOISOExec->isEnabled());

    // Clear All reaches the compilation.
    f.ActionList1->ActFILETOISO->trigger();
    f.ActionList1->ActFileClear->trigger();
    EXPECT_EQ(f.compilationPage()->TsListDir->topLevelItem(0)->childCount(), 0);
}

// The pointer stays where Make ISO was; after Yes to burn now the page under it is the burn page,
// and the strip describes that page, not the hidden button.
TEST_F(WiredMainForm, AfterBurnNowTheStripShowsTheBurnPagesBanner)
{
    TMainForm &f = *m_form;
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.ActionList1->ActFILETOISO->trigger();
    ImageTest::writeFile(m_drives.filePath(QStringLiteral("src/notes.txt")), "notes\n");
    f.DVDWriterPro21->AddFolder(QStringLiteral("\\"), m_drives.filePath(QStringLiteral("src")) + "/*.*");
    // The pointer onto Make ISO.
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10),
                      f.compilationPage()->suiImageButton12->mapToGlobal(QPointF(10, 10)));
    QCoreApplication::sendEvent(f.compilationPage()->suiImageButton12, &enter);
    ASSERT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBtnMakeIso);

    FileDialogSeam::setNextFileName(m_drives.filePath(QStringLiteral("made.iso")));
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    press(f.compilationPage()->suiImageButton12);
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBURNISO);
    // The enter that follows the boxes goes to the button still under the pointer, now hidden.
    QCoreApplication::sendEvent(f.compilationPage()->suiImageButton12, &enter);
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    QTest::qWait(50);
    EXPECT_EQ(f.currentPageName(), QStringLiteral("BURNISO"));
    EXPECT_FALSE(f.compilationPage()->suiImageButton12->isVisible());
    EXPECT_EQ(f.pictureStrip()->visibleBanner(), f.pictureStrip()->ImgBURNISO);
}

// The check for every disc the window has burnt: the command line compares the drive with the image
// the window made, over exactly the image's length.
TEST_F(WiredMainForm, ADiscBurntByTheWindowPassesTheCommandLinesCheckAgainstItsImage)
{
    TMainForm &f = *m_form;
    const QString sources = m_drives.filePath(QStringLiteral("src"));
    ASSERT_TRUE(QDir().mkpath(sources));
    TestSupport::writeAll(sources + QStringLiteral("/notes.txt"), "notes\n");
    ASSERT_TRUE(QDir().mkpath(sources + QStringLiteral("/Fotos 2024")));
    const QByteArray photo = ImageTest::patterned(70000, 11);
    TestSupport::writeAll(sources + QStringLiteral("/Fotos 2024/Grüße.jpg"), photo);
    f.ActionList1->ActFILETOISO->trigger();
    f.DVDWriterPro21->AddFolder(QStringLiteral("\\"), sources + QStringLiteral("/*.*"));
    const QString iso = m_drives.filePath(QStringLiteral("made.iso"));
    FileDialogSeam::setNextFileName(iso);
    MessageBoxSeam::setNextAnswer(IDOK);
    MessageBoxSeam::setNextAnswer(IDYES);
    press(f.compilationPage()->suiImageButton12);
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));

    auto verify = [&] {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTRANE_VIRTUAL_DRIVES"), drivePath());
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(KESTRANE_PROGRAM_DIR "/kestrane-cli"),
                  {QStringLiteral("verify"), QStringLiteral("D"), QStringLiteral("--against"), iso,
                   QStringLiteral("--quiet")});
        EXPECT_TRUE(cli.waitForFinished(60000));
        return std::make_pair(cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()));
    };
    EXPECT_EQ(verify(), std::make_pair(0, QStringLiteral("2 files checked, none damaged.\n")));

    QByteArray disc = TestSupport::readAll(drivePath());
    const qsizetype at = disc.indexOf(photo);
    ASSERT_GT(at, 0);
    disc[at + 4096] = char(disc[at + 4096] ^ 0x01);
    TestSupport::writeAll(drivePath(), disc);
    EXPECT_EQ(
        verify(),
        std::make_pair(3, QStringLiteral("damaged: /Fotos 2024/Grüße.jpg\n2 files checked, 1 damaged.\n")));
}

TEST_F(WiredMainForm, MakeIsoWaitsForALoadThatIsStillAdding)
{
    TMainForm &f = *m_form;
    const QString file = m_drives.filePath(QStringLiteral("f.txt"));
    TestSupport::writeAll(file, "f\n");
    QByteArray list = "filelist\r\n";
    for (int i = 0; i < 500; ++i)
        list += QFile::encodeName(file) + "|\\D" + QByteArray::number(i) + "\\\r\n";
    const QString listPath = m_drives.filePath(QStringLiteral("list.mst"));
    TestSupport::writeAll(listPath, list);
    f.ActionList1->ActFILETOISO->trigger();
    MessageBoxSeam::takeShown();
    FileDialogSeam::takeAsked();
    FileDialogSeam::setNextFileName(listPath);
    f.ActionList1->ActLoadFileList->trigger();
    // The load runs until the event loop hears of its end: Make ISO asks for no file name meanwhile.
    press(f.compilationPage()->suiImageButton12);
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(
        shown[0].text,
        QStringLiteral("Files are still being added to the image. Please wait until this is finished."));
    EXPECT_EQ(FileDialogSeam::takeAsked().size(), 1); // the load's own dialog only
    CompilationPage *page = f.compilationPage();
    ASSERT_TRUE(TestSupport::waitFor([page] { return !page->isAdding() && !page->isSizePending(); }, 60000));
    EXPECT_EQ(f.compilationPage()->TsListDir->topLevelItem(0)->childCount(), 500);
}

TEST_F(WiredMainForm, TheWindowCanCloseWhileThePickersAddRunsThePageGoesBeforeItsEngine)
{
    TMainForm &f = *m_form;
    // Folders all through the walk: the add reports them to the page until its very end.
    const QString many = m_drives.filePath(QStringLiteral("Many"));
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(QDir().mkpath(many + QStringLiteral("/d%1").arg(i)));
    f.ActionList1->ActFILETOISO->trigger();
    Q_EMIT f.secondaryWindows().FrmFilesSelect->addPressed({PickedItem {many, QStringLiteral("Many"), true}});
    ASSERT_TRUE(f.compilationPage()->isAdding());
    // The page joins the adding thread, which calls the engine: the engine must still be there.
    QStringList gone;
    QObject::connect(f.compilationPage(), &QObject::destroyed,
                     [&gone] { gone.append(QStringLiteral("page")); });
    QObject::connect(f.DVDWriterPro21, &QObject::destroyed,
                     [&gone] { gone.append(QStringLiteral("engine")); });
    m_form.reset();
    EXPECT_EQ(gone, QStringList({QStringLiteral("page"), QStringLiteral("engine")}));
}

TEST_F(WiredMainForm, TheEraseButtonOpensAFreshModalEraseWindow)
{
    TMainForm &f = *m_form;
    f.ActionList1->ActBURNISO->trigger();
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
        press(f.burnPage()->suiImageButton20);
    }
    ASSERT_EQ(seen.size(), 2);
    EXPECT_NE(seen[0], seen[1]);
}

TEST_F(WiredMainForm, EraseThroughTheWindowEmptiesTheVirtualDisc)
{
    TMainForm &f = *m_form;
    TestSupport::writeAll(drivePath(), QByteArray(64 * 2048, 'd')); // a disc holding data
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 1));
    EraseLauncher *launcher = f.subsystems()->Erase.get();
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(IDYES); // the question before erasing data
    QTimer::singleShot(0, &f, [&] { launcher->currentEraseWindow()->cmdErase->click(); });
    press(f.burnPage()->suiImageButton20); // returns when the window has closed itself

    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].kind, 4);
    EXPECT_EQ(shown[1].kind, 3); // the plain message, no icon
    EXPECT_EQ(launcher->currentEraseWindow()->lblStatus->text(),
              QStringLiteral("Erase operation complete!!!"));
    EXPECT_FALSE(launcher->currentEraseWindow()->isVisible());
    EXPECT_EQ(QFileInfo(drivePath()).size(), 0);
}

// The erase keeps the machine awake while it runs, and tells the desktop its end when the user is
// elsewhere; a window the user stays in is told nothing.
class EraseAndTheDesktop : public WiredMainForm, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        if (!DesktopBus::PrivateBuses::instance().running())
            GTEST_SKIP() << qPrintable(DesktopBus::PrivateBuses::instance().error());
        WiredMainForm::SetUp();
    }
    void TearDown() override
    {
        QObject::disconnect(m_keepActive);
        QApplication::setActiveWindow(nullptr);
        WiredMainForm::TearDown();
    }
    QMetaObject::Connection m_keepActive;
};

TEST_P(EraseAndTheDesktop, LockWhileErasingAndANotificationOnlyFromElsewhere)
{
    const bool windowActive = GetParam();
    const auto logind = DesktopBus::startLogind();
    ASSERT_TRUE(logind->up());
    const auto daemon = DesktopBus::startNotificationDaemon();
    ASSERT_TRUE(daemon->up());
    TMainForm &f = *m_form;
    TestSupport::writeAll(drivePath(), QByteArray(64 * 2048, 'd'));
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 1));
    // The erase window, shown modally, takes the focus; a user who went to another program leaves
    // none of ours active.
    f.show();
    const auto apply = [&f, windowActive] {
        QApplication::setActiveWindow(windowActive ? &f : nullptr);
    };
    apply();
    m_keepActive = QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &f, apply);

    std::optional<QList<DesktopBus::Inhibitor>> whileErasing;
    QObject::connect(f.DVDWriterPro1, &TDVDWriterPro2::OnEraseDiscStart, &f,
                     [&] { whileErasing = DesktopBus::logindInhibitors(*logind); });
    EraseLauncher *launcher = f.subsystems()->Erase.get();
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(IDYES); // the question before erasing data
    QTimer::singleShot(0, &f, [&] { launcher->currentEraseWindow()->cmdErase->click(); });
    press(f.burnPage()->suiImageButton20);
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));

    ASSERT_TRUE(whileErasing.has_value());
    ASSERT_EQ(whileErasing->size(), 1);
    EXPECT_EQ(whileErasing->at(0).why, SleepInhibitor::reasonFor(SleepInhibitor::Job::Erase));
    EXPECT_TRUE(TestSupport::waitFor([&] { return DesktopBus::logindInhibitors(*logind).isEmpty(); }, 10000));
    EXPECT_EQ(DesktopBus::notifiedSoFar(*daemon),
              windowActive ? QStringList() : QStringList {QStringLiteral("Erase operation complete!!!")});
}

INSTANTIATE_TEST_SUITE_P(Window, EraseAndTheDesktop, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &row) {
                             return std::string(row.param ? "in_the_window" : "elsewhere");
                         });

TEST_F(WiredMainForm, TheLabelReachesTheImageWholeWhateverItsBraces)
{
    TMainForm &f = *m_form;
    const QString sources = m_drives.filePath(QStringLiteral("src"));
    ASSERT_TRUE(QDir().mkpath(sources));
    TestSupport::writeAll(sources + QStringLiteral("/a.txt"), "a\n");
    struct Row
    {
        const char *name;
        QString typed;
        QString written;
    };
    const QList<Row> table = {
        {"plain", QStringLiteral("Backup"), QStringLiteral("Backup")},
        {"trailing blanks", QStringLiteral("Backup  "), QStringLiteral("Backup")},
        {"brace inside", QStringLiteral("Set {2}"), QStringLiteral("Set {2}")},
        {"leading brace", QStringLiteral("{x}"), QStringLiteral("{x}")},
        {"open brace only", QStringLiteral("a{b"), QStringLiteral("a{b")},
    };
    f.ActionList1->ActFILETOISO->trigger();
    for (const Row &row : table) {
        // Once right after the change (one blank before the size) and once after the next
        // refresh (two blanks).
        for (const bool refreshed : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (refreshed ? ", refreshed" : ""));
            MessageBoxSeam::takeShown();
            f.ActionList1->ActFileClear->trigger();
            answerVolumeWindow(row.typed);
            f.compilationPage()->ChangeVolume1->trigger();
            f.DVDWriterPro21->AddFolder(QStringLiteral("\\"), sources + QStringLiteral("/*.*"));
            if (refreshed)
                f.compilationPage()->RefreshCompilation();
            const QString iso = m_drives.filePath(QStringLiteral("label.iso"));
            FileDialogSeam::setNextFileName(iso);
            MessageBoxSeam::setNextAnswer(IDOK);
            MessageBoxSeam::setNextAnswer(IDNO);
            press(f.compilationPage()->suiImageButton12);
            ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Do you want to burn the ISO file now?")));
            EXPECT_EQ(ImageTest::primaryVolumeId(iso), row.written);
            EXPECT_EQ(ImageTest::jolietVolumeId(iso), row.written);
        }
    }
}

class TwoRecorders : public WiredMainForm
{
protected:
    QString secondDrivePath() const { return m_drives.filePath(QStringLiteral("second.iso")); }
    QString virtualDrives() const override { return drivePath() + QLatin1Char(':') + secondDrivePath(); }
};

TEST_F(TwoRecorders, EraseActsOnTheRecorderChosenInTheBurnPageList)
{
    TMainForm &f = *m_form;
    const QByteArray data(64 * 2048, 'd');
    TestSupport::writeAll(drivePath(), data);
    TestSupport::writeAll(secondDrivePath(), data);
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 2));
    f.burnPage()->CboCDRWList->setCurrentIndex(1);
    Q_EMIT f.burnPage()->CboCDRWList->activated(1); // the user's pick of E:
    ASSERT_TRUE(f.burnPage()->CboCDRWList->currentText().startsWith(QStringLiteral("E:")));
    // Text typed into the field afterwards is no choice of a drive: E: stays the one erased.
    f.burnPage()->CboCDRWList->setFocus();
    f.burnPage()->CboCDRWList->lineEdit()->selectAll();
    QTest::keyClicks(f.burnPage()->CboCDRWList->lineEdit(), QStringLiteral("Zed"));
    QTest::keyClick(f.burnPage()->CboCDRWList->lineEdit(), Qt::Key_Return);
    ASSERT_EQ(f.burnPage()->CboCDRWList->currentText(), QStringLiteral("Zed"));

    EraseLauncher *launcher = f.subsystems()->Erase.get();
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(IDYES);
    QTimer::singleShot(0, &f, [&] { launcher->currentEraseWindow()->cmdErase->click(); });
    press(f.burnPage()->suiImageButton20);
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));
    const auto asked = MessageBoxSeam::takeShown();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("in drive E: (Kestrane Virtual Recorder, ") +
                                       secondDrivePath() + QLatin1Char(')')))
        << asked[0].text.toStdString();
    EXPECT_EQ(QFileInfo(secondDrivePath()).size(), 0);
    EXPECT_EQ(TestSupport::readAll(drivePath()), data);

    // With no recorder in the list the window erases nothing.
    TestSupport::writeAll(secondDrivePath(), data);
    f.burnPage()->CboCDRWList->clear();
    MessageBoxSeam::takeShown();
    QTimer::singleShot(0, &f, [&] { launcher->currentEraseWindow()->cmdErase->click(); });
    press(f.burnPage()->suiImageButton20);
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("There are no compatible drives reported."));
    EXPECT_EQ(TestSupport::readAll(drivePath()), data);
    EXPECT_EQ(TestSupport::readAll(secondDrivePath()), data);
}

// A disc that holds data is written over or erased only after one question naming the drive, the
// kind of disc and what it holds; No (also the default) leaves it as it was; a blank disc is not
// asked about.
struct DataQuestionCase
{
    const char *name;
    bool holdsData;
    int answer; // queued for the question
    bool done; // burnt or erased
    friend void PrintTo(const DataQuestionCase &c, std::ostream *os) { *os << c.name; }
};

class DiscDataQuestion : public WiredMainForm, public ::testing::WithParamInterface<DataQuestionCase>
{
protected:
    // An image made by another program, labelled and holding one file.
    QString makeIso(const QString &name, const QString &label)
    {
        const QString folder = m_drives.filePath(name + QStringLiteral(".src"));
        ImageTest::writeFile(folder + QStringLiteral("/") + name + QStringLiteral(".txt"),
                             ImageTest::patterned(100000, int(name.size())));
        const QString iso = m_drives.filePath(name + QStringLiteral(".iso"));
        const ImageTest::ProcessResult made = ImageTest::run(
            QStringLiteral("genisoimage"),
            {QStringLiteral("-quiet"), QStringLiteral("-V"), label, QStringLiteral("-o"), iso, folder});
        EXPECT_EQ(made.exitCode, 0) << made.err.constData();
        return iso;
    }
    // Sets the disc up: an image labelled OLD BACKUP, or no file (a blank disc).
    QByteArray prepareDisc()
    {
        if (!GetParam().holdsData)
            return {};
        const QString old = makeIso(QStringLiteral("old"), QStringLiteral("OLD BACKUP"));
        EXPECT_TRUE(QFile::rename(old, drivePath()));
        return TestSupport::readAll(drivePath());
    }
    // The question a disc holding the old image must get.
    QString expectedQuestion(const QString &lastLine, const QString &what, const QByteArray &disc) const
    {
        return QStringLiteral(
                   "Everything on the virtual disc in drive D: (Kestrane Virtual Recorder, %1) will "
                   "be %2.\n\nIt holds \"OLD BACKUP\", %3 MB used.\n\n%4")
            .arg(drivePath(), what, QString::number(disc.size() / 1048576.0, 'f', 2), lastLine);
    }
    void expectAsked(const QList<MessageBoxSeam::Shown> &shown, const QString &question) const
    {
        QList<MessageBoxSeam::Shown> questions;
        for (const MessageBoxSeam::Shown &box : shown) {
            if (box.kind == 4)
                questions.append(box);
        }
        if (!GetParam().holdsData) {
            EXPECT_TRUE(questions.isEmpty()) << "a blank disc is not asked about";
            return;
        }
        ASSERT_EQ(questions.size(), 1);
        EXPECT_EQ(questions[0].text, question);
        EXPECT_EQ(questions[0].caption, QStringLiteral("Kestrane"));
    }
};

TEST_P(DiscDataQuestion, BurnWritesOverDataOnlyAfterYes)
{
    const DataQuestionCase &c = GetParam();
    TMainForm &f = *m_form;
    const QByteArray before = prepareDisc();
    const QString image = makeIso(QStringLiteral("new"), QStringLiteral("NEW"));
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 1));
    f.burnPage()->EdtBurnISOPath->setText(image);
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(c.answer);
    press(f.burnPage()->suiImageButton16);
    if (c.done) {
        ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
        EXPECT_EQ(TestSupport::readAll(drivePath()), TestSupport::readAll(image));
    } else {
        // No starts nothing and leaves nothing to cancel: the page is usable at once.
        ASSERT_TRUE(TestSupport::waitFor([&f] { return f.ActionList1->ActBURNISOExec->isEnabled(); }, 30000));
        EXPECT_EQ(TestSupport::readAll(drivePath()), before);
        EXPECT_FALSE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!"), 300));
    }
    expectAsked(MessageBoxSeam::takeShown(),
                expectedQuestion(QStringLiteral("Write the image to this disc?"),
                                 QStringLiteral("overwritten by the image"), before));
    EXPECT_TRUE(f.burnPage()->CboCDRWList->isEnabled());
}

TEST_P(DiscDataQuestion, EraseEmptiesDataOnlyAfterYes)
{
    const DataQuestionCase &c = GetParam();
    TMainForm &f = *m_form;
    const QByteArray before = prepareDisc();
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(waitForEntries(f.burnPage()->CboCDRWList, 1));
    EraseLauncher *launcher = f.subsystems()->Erase.get();
    MessageBoxSeam::takeShown();
    MessageBoxSeam::setNextAnswer(c.answer);
    bool stayedReady = false;
    QTimer::singleShot(0, &f, [&] {
        TfrmErase *window = launcher->currentEraseWindow();
        window->cmdErase->click();
        if (c.done)
            return; // the window closes itself when the erase has ended
        // After No the window is ready again and is left with Cancel.
        stayedReady = TestSupport::waitFor(
            [window] { return !MessageBoxSeam::shown().isEmpty() && window->cmdCancel->isEnabled(); }, 30000);
        window->cmdCancel->click();
    });
    press(f.burnPage()->suiImageButton20); // returns when the window has closed
    if (c.done) {
        ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));
        EXPECT_EQ(QFileInfo(drivePath()).size(), 0);
    } else {
        EXPECT_TRUE(stayedReady);
        EXPECT_EQ(TestSupport::readAll(drivePath()), before);
        EXPECT_FALSE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!"), 300));
    }
    expectAsked(MessageBoxSeam::takeShown(),
                expectedQuestion(QStringLiteral("Erase this disc?"), QStringLiteral("erased"), before));
}

INSTANTIATE_TEST_SUITE_P(Answers, DiscDataQuestion,
                         ::testing::Values(DataQuestionCase {"DataAnsweredNo", true, IDNO, false},
                                           DataQuestionCase {"DataAnsweredYes", true, IDYES, true},
                                           DataQuestionCase {"BlankDiscNotAsked", false, IDNO, true}),
                         [](const ::testing::TestParamInfo<DataQuestionCase> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

} // namespace
