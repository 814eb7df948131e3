// The main window with a USB stick from the UDisks2 stand-in on a private bus: the burn page lists it
// after the virtual drive, asks before writing, writes and reads back, and refuses cleanly.
#include "MainFormFixture.h"
#include "MockUdisks.h"

#include "TestSupport.h"
#include "app/MessageBox.h"
#include "engine/StickInfo.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveLists.h"
#include "jobs/EraseLauncher.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/MainFormSubsystems.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString StickEntry = QStringLiteral("E:Kingston DataTraveler 3.0 (64.00 MB)");

class StickWindow : public MainFormFixture
{
protected:
    void SetUp() override
    {
        if (!mock().running())
            GTEST_SKIP() << mock().error().toStdString();
        mock().reset();
        ASSERT_TRUE(m_files.isValid());
        qputenv("KESTRANE_VIRTUAL_DRIVES", QFile::encodeName(m_files.filePath(QStringLiteral("drive.iso"))));
        MainFormFixture::SetUp();
        m_iso = m_files.filePath(QStringLiteral("debian.iso"));
        QByteArray image(2 * 1024 * 1024, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char((i / 4096 + i * 3) % 239);
        TestSupport::writeAll(m_iso, image);
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
    }

    static MockUdisks &mock() { return MockUdisks::instance(); }

    // Enters a page and waits until its drive steps (list, selection, speed) have been answered.
    void enter(QAction *page)
    {
        QSignalSpy ended(m_form->subsystems()->Drives.get(), &DriveLists::pageEntryEnded);
        page->trigger();
        ASSERT_TRUE(TestSupport::waitFor([&ended] { return !ended.isEmpty(); }, 30000));
        ASSERT_TRUE(ended.first().first().toBool());
    }

    // Waits until the burn page has started, refused or asked everything a burn start asks.
    void waitForStartEnd()
    {
        TestSupport::waitFor(
            [this] { return m_form->burnPage()->CboCDRWList->window()->cursor().shape() != Qt::BusyCursor; },
            30000);
    }

    // The burn page with the stick chosen, as a user picks it.
    void chooseStick()
    {
        TMainForm &f = *m_form;
        enter(f.ActionList1->ActBURNISO);
        const int index = f.burnPage()->CboCDRWList->findText(StickEntry);
        ASSERT_GE(index, 0);
        f.burnPage()->CboCDRWList->setCurrentIndex(index);
        bool done = false;
        m_form->subsystems()->Drives->CboCDRWListClick([&done](bool) { done = true; });
        ASSERT_TRUE(TestSupport::waitFor([&done] { return done; }, 30000));
        f.burnPage()->EdtBurnISOPath->setText(m_iso);
        MessageBoxSeam::takeShown();
    }

    int opens() const { return int(mock().calls().filter(QStringLiteral("OpenDevice")).size()); }

    // Waits for a box whose text holds `part`; answers the whole text, empty when none came.
    static QString waitForMessageHolding(const QString &part)
    {
        QString found;
        TestSupport::waitFor(
            [&] {
                for (const auto &shown : MessageBoxSeam::shown()) {
                    if (shown.text.contains(part))
                        found = shown.text;
                }
                return !found.isEmpty();
            },
            60000);
        return found;
    }

    QTemporaryDir m_files;
    QString m_iso;
};

TEST_F(StickWindow, BurnPageListsTheStickAfterTheVirtualDriveAndNotTheSystemDisk)
{
    TMainForm &f = *m_form;
    enter(f.ActionList1->ActBURNISO);
    QStringList entries;
    for (int i = 0; i < f.burnPage()->CboCDRWList->count(); ++i)
        entries.append(f.burnPage()->CboCDRWList->itemText(i));
    EXPECT_EQ(entries, (QStringList {QStringLiteral("D:Kestrane Virtual Recorder"), StickEntry}));
    // The reader list of the CD to ISO page offers discs only.
    enter(f.ActionList1->ActCDTOISO);
    EXPECT_EQ(f.cdPage()->CboCdList->count(), 1);
}

TEST_F(StickWindow, YesWritesTheImageAndReportsCompletion)
{
    chooseStick();
    TMainForm &f = *m_form;
    MessageBoxSeam::setNextAnswer(IDYES);
    f.ActionList1->ActBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].kind, 4) << "a danger question, No the default";
    for (const char *part : {"Kingston", "DataTraveler 3.0", "64.00 MB", "/dev/sdx", "KINGSTON"})
        EXPECT_TRUE(shown[0].text.contains(QString::fromLatin1(part))) << part;
    EXPECT_TRUE(TestSupport::readAll(mock().stickFile()).startsWith(TestSupport::readAll(m_iso)));
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_TRUE(f.burnPage()->CboCDRWList->isEnabled());
    EXPECT_EQ(mock().calls().filter(QStringLiteral("nvme")).size(), 0);
    EXPECT_EQ(TestSupport::readAll(mock().systemFile()), MockUdisks::systemContent());
}

TEST_F(StickWindow, NoWritesNothingAndUnlocksThePage)
{
    chooseStick();
    TMainForm &f = *m_form;
    MessageBoxSeam::setNextAnswer(IDNO);
    f.ActionList1->ActBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitFor([] { return !MessageBoxSeam::shown().isEmpty(); }, 30000));
    waitForStartEnd();
    const auto shown = MessageBoxSeam::takeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].kind, 4);
    EXPECT_EQ(opens(), 0);
    EXPECT_EQ(TestSupport::readAll(mock().stickFile()), MockUdisks::oldStickContent());
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_TRUE(f.burnPage()->CboCDRWList->isEnabled());
}

struct RefusalRow
{
    const char *name;
    const char *mode;
    const char *reason;
};

class StickWindowRefusal : public StickWindow, public ::testing::WithParamInterface<RefusalRow>
{
};

TEST_P(StickWindowRefusal, ShowsTheReasonAndWritesNothing)
{
    mock().setMode(QString::fromLatin1(GetParam().mode));
    chooseStick();
    MessageBoxSeam::setNextAnswer(IDYES);
    m_form->ActionList1->ActBURNISOExec->trigger();
    const QString text = waitForMessageHolding(QString::fromLatin1(GetParam().reason));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Writing Error: (2)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("/dev/sdx"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("nothing was written"))) << text.toStdString();
    for (const auto &shown : MessageBoxSeam::shown())
        EXPECT_NE(shown.text, QStringLiteral("Writing is complete!"));
    EXPECT_EQ(opens(), 1) << "never a second try";
    EXPECT_EQ(TestSupport::readAll(mock().stickFile()), MockUdisks::oldStickContent());
}

INSTANTIATE_TEST_SUITE_P(Modes, StickWindowRefusal,
                         ::testing::Values(RefusalRow {"Busy", "busy", "Device or resource busy"},
                                           RefusalRow {"NotAuthorised", "not-authorised", "did not allow"}),
                         [](const ::testing::TestParamInfo<RefusalRow> &testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST_F(StickWindow, CancelWhileThePasswordIsAskedForLeavesTheStickAsItWas)
{
    mock().setMode(QStringLiteral("asking"));
    chooseStick();
    MessageBoxSeam::setNextAnswer(IDYES);
    m_form->ActionList1->ActBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitFor([this] { return opens() == 1; }, 10000));
    m_form->ActionList1->ActCancelBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing Cancelled!"), 10000));
    QStringList texts;
    for (const auto &shown : MessageBoxSeam::takeShown())
        texts.append(shown.text);
    // The question, then the cancel; nothing was written, so no advice to write the stick again.
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[1], QStringLiteral("Writing Cancelled!"));
    EXPECT_EQ(TestSupport::readAll(mock().stickFile()), MockUdisks::oldStickContent());
    EXPECT_TRUE(m_form->ActionList1->ActBURNISOExec->isEnabled());
}

TEST_F(StickWindow, CancelWhileWritingSaysTheStickMustBeWrittenAgain)
{
    // Large enough that the copy and its read-back run on well after their first block has landed.
    QByteArray image(56 * 1024 * 1024, '\0');
    for (int i = 0; i < image.size(); i += 4096)
        image[i] = char(i / 4096 % 251 + 1);
    TestSupport::writeAll(m_iso, image);
    chooseStick();
    MessageBoxSeam::setNextAnswer(IDYES);
    m_form->ActionList1->ActBURNISOExec->trigger();
    QFile stick(mock().stickFile());
    ASSERT_TRUE(stick.open(QIODevice::ReadOnly));
    const QByteArray head = image.left(4096);
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            stick.seek(0);
            return stick.read(head.size()) == head;
        },
        30000));
    m_form->ActionList1->ActCancelBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing Cancelled!"), 30000));
    ASSERT_TRUE(TestSupport::waitForMessage(StickCancelledAdvice(), 10000));
    QStringList texts;
    for (const auto &shown : MessageBoxSeam::takeShown())
        texts.append(shown.text);
    ASSERT_EQ(texts.size(), 3) << texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(texts[1], QStringLiteral("Writing Cancelled!"));
    EXPECT_FALSE(texts.contains(QStringLiteral("Writing is complete!")));
    EXPECT_TRUE(m_form->ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_TRUE(m_form->burnPage()->CboCDRWList->isEnabled());
}

TEST_F(StickWindow, EraseSaysItCannotEraseThisKindOfDisc)
{
    chooseStick();
    EraseLauncher *launcher = m_form->subsystems()->Erase.get();
    QTimer::singleShot(0, m_form.get(), [launcher] { launcher->currentEraseWindow()->cmdErase->click(); });
    QTest::keyClick(m_form->burnPage()->suiImageButton20,
                    Qt::Key_Space); // returns when the window has closed
    ASSERT_TRUE(
        TestSupport::waitForMessage(QStringLiteral("This drive cannot erase this kind of disc."), 10000));
    EXPECT_EQ(opens(), 0);
}

TEST_F(StickWindow, TheListFollowsUnpluggingAndPlugging)
{
    TMainForm &f = *m_form;
    enter(f.ActionList1->ActBURNISO);
    ASSERT_EQ(f.burnPage()->CboCDRWList->count(), 2);
    mock().plug(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return f.burnPage()->CboCDRWList->count() == 1; }, 10000));
    EXPECT_EQ(f.burnPage()->CboCDRWList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"));
    mock().plug(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return f.burnPage()->CboCDRWList->count() == 2; }, 10000));
    EXPECT_EQ(f.burnPage()->CboCDRWList->itemText(1), StickEntry);
    EXPECT_EQ(f.burnPage()->CboCDRWList->currentText(), QStringLiteral("D:Kestrane Virtual Recorder"))
        << "the choice stays";
}

} // namespace
