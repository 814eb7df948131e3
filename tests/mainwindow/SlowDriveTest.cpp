// The window over drives that take their time or do not answer at all: the drive work runs on the
// drive thread, the window keeps answering, the lists fill when the answers come, the messages come
// in their usual order, and a drive that never answers is reported after a bounded wait.
#include "MainFormFixture.h"

#include "ScriptedDriveLayer.h"
#include "TestSupport.h"
#include "app/MessageBox.h"
#include "compilation/CompilationPage.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveAnswers.h"
#include "jobs/EraseLauncher.h"
#include "jobs/TfrmErase.h"
#include "mainwindow/MainFormSubsystems.h"
#include "widgets/TsuiImageButton.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

namespace {

using Drives::DiscStatus;
using namespace std::chrono_literals;

QStringList shownTexts()
{
    QStringList texts;
    for (const auto &shown : MessageBoxSeam::takeShown())
        texts.append(shown.text);
    return texts;
}

// A reader D and a recorder E holding a blank DVD-R; every answer of theirs waits for the gate.
class SlowDrives : public MainFormFixture
{
protected:
    void SetUp() override
    {
        qunsetenv("KESTRANE_VIRTUAL_DRIVES");
        m_layer = std::make_shared<LayerScript>();
        m_reader = scriptedDrive(QStringLiteral("/dev/sr0"), false, 0x10, DiscStatus::Full, {0x08, 0x10});
        m_writer = scriptedDrive(QStringLiteral("/dev/sr1"), true, 0x11, DiscStatus::Blank,
                                 {0x09, 0x0a, 0x11, 0x13, 0x14});
        m_layer->drives = {m_reader, m_writer};
        TDVDWriterPro2::setDriveLayer(std::make_unique<ScriptedDriveLayer>(m_layer));
        if (m_holdFromTheStart)
            m_layer->gate->close();
        MainFormFixture::SetUp();
        m_iso = m_root.filePath(QStringLiteral("image.iso"));
        TestSupport::writeAll(m_iso, QByteArray(10 * 2048, 'i'));
    }
    void TearDown() override
    {
        m_layer->gate->open();
        MainFormFixture::TearDown();
        TDVDWriterPro2::setDriveLayer(nullptr);
    }

    // Waits until the drive thread has done everything asked of it so far; the scripts can then be
    // read and changed without racing it.
    bool settleDrives()
    {
        bool settled = false;
        m_form->driveThread->ask(
            m_form.get(), [] { return true; }, [&settled](std::optional<bool>) { settled = true; });
        return TestSupport::waitFor([&settled] { return settled; }, 30000);
    }

    // Enters the burn page with the drives answering, and waits for every step of the entry.
    void enterBurnPage()
    {
        m_layer->gate->open();
        m_form->ActionList1->ActBURNISO->trigger();
        ASSERT_TRUE(
            TestSupport::waitFor([this] { return m_form->burnPage()->CboCDRWList->count() == 1; }, 30000));
        ASSERT_TRUE(settleDrives());
    }

    // Opens the erase window and presses Erase; `whileAsked` runs right after the press, while the
    // drive is still asked. Returns when the window has closed.
    void eraseThroughTheWindow(const std::function<void(TfrmErase *)> &whileAsked)
    {
        EraseLauncher *launcher = m_form->subsystems()->Erase.get();
        QTimer::singleShot(0, m_form.get(), [launcher, whileAsked] {
            TfrmErase *window = launcher->currentEraseWindow();
            window->cmdErase->click();
            whileAsked(window);
        });
        QTest::keyClick(m_form->burnPage()->suiImageButton20, Qt::Key_Space);
    }

    bool m_holdFromTheStart = true; // the start-up scan waits for the gate too
    std::shared_ptr<LayerScript> m_layer;
    std::shared_ptr<DriveScript> m_reader, m_writer;
    QString m_iso;
};

TEST_F(SlowDrives, TheListsFillWhenTheDrivesAnswerWhileTheWindowGoesOn)
{
    TMainForm &f = *m_form;
    // The scan, the lists and the recorder's selection all wait for the held drives; the pages change
    // and their other entry steps are done at once.
    f.cdPage()->EdtSavePath->setText(QStringLiteral("/tmp/old.iso"));
    f.ActionList1->ActCDTOISO->trigger();
    EXPECT_EQ(f.currentPageName(), QStringLiteral("CDTOISO"));
    EXPECT_EQ(f.cdPage()->CboCdList->count(), 0);
    EXPECT_TRUE(f.cdPage()->EdtSavePath->text().isEmpty());
    f.ActionList1->ActBURNISO->trigger();
    EXPECT_EQ(f.currentPageName(), QStringLiteral("BURNISO"));
    EXPECT_TRUE(f.pictureStrip()->ImgBURNISO->isVisibleTo(&f));
    EXPECT_EQ(f.burnPage()->CboCDRWList->count(), 0);
    EXPECT_TRUE(f.burnPage()->CboCDRWList->currentText().isEmpty());
    // Work that needs no drive goes on meanwhile.
    f.ActionList1->ActFILETOISO->trigger();
    ASSERT_EQ(f.compilationPage()->TsListDir->topLevelItemCount(), 1);
    EXPECT_EQ(f.compilationPage()->TsListDir->topLevelItem(0)->text(0),
              QStringLiteral("New Disc  {0.00 MB}"));
    f.ActionList1->ActBURNISO->trigger();
    EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());

    m_layer->gate->open();
    ASSERT_TRUE(TestSupport::waitFor(
        [&f] { return f.cdPage()->CboCdList->count() == 2 && f.burnPage()->CboCDRWList->count() == 1; },
        30000));
    EXPECT_EQ(f.cdPage()->CboCdList->currentText(), QStringLiteral("D:Vendor Model /dev/sr0"));
    EXPECT_EQ(f.burnPage()->CboCDRWList->currentText(), QStringLiteral("E:Vendor Model /dev/sr1"));
    ASSERT_TRUE(settleDrives());
    EXPECT_TRUE(m_writer->acquired) << "the first writer is selected once the list is filled";
    EXPECT_FALSE(m_reader->acquired);
    EXPECT_TRUE(shownTexts().isEmpty());

    // The burn then uses what the entry set: the recorder and its highest speed (8 x DVD).
    f.burnPage()->EdtBurnISOPath->setText(m_iso);
    f.ActionList1->ActBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral("Writing is complete!")));
    EXPECT_EQ(shownTexts(), QStringList {QStringLiteral("Writing is complete!")});
    ASSERT_TRUE(settleDrives());
    ASSERT_EQ(m_writer->writes.size(), 1u);
    EXPECT_EQ(m_writer->writes[0].speedKBs, 8 * 1385);
    EXPECT_TRUE(m_writer->writes[0].underrunProtection);
    EXPECT_TRUE(m_writer->writes[0].closeDisc);
    EXPECT_EQ(m_writer->ejects, 1) << "the tray opens after the burn";
}

TEST_F(SlowDrives, BurnStartsWaitForTheDriveAndKeepTheirMessages)
{
    struct Row
    {
        const char *name;
        int profile;
        DiscStatus status;
        int64_t freeBytes;
        QString message;
        bool stillLocked; // refusals leave the page locked until Cancel
    };
    const Row rows[] = {
        {"no disc", 0, DiscStatus::Empty, 0,
         QStringLiteral("Please Insert Writable Media before continuing!"), true},
        {"too little space", 0x11, DiscStatus::Blank, 10 * 1048576,
         QStringLiteral("Free Space on the loaded disc is 10.00 MB!\rThis data image requires 12.00 MB of "
                        "Free Space!"),
         true},
        {"a blank DVD-R", 0x11, DiscStatus::Blank, 4'700'372'992, QStringLiteral("Writing is complete!"),
         false},
    };
    TMainForm &f = *m_form;
    enterBurnPage();
    TestSupport::writeAll(m_iso, QByteArray(12 * 1048576, 'i'));
    f.burnPage()->EdtBurnISOPath->setText(m_iso);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        m_writer->medium.profile = row.profile;
        m_writer->medium.status = row.status;
        m_writer->medium.freeBytes = row.freeBytes;
        m_layer->gate->close();
        f.ActionList1->ActBURNISOExec->trigger();
        // Held by the drive: the page is locked at once, the pointer shows that work goes on.
        EXPECT_FALSE(f.ActionList1->ActBURNISOExec->isEnabled());
        EXPECT_EQ(f.cursor().shape(), Qt::BusyCursor);
        EXPECT_TRUE(MessageBoxSeam::shown().isEmpty());
        m_layer->gate->open();
        ASSERT_TRUE(TestSupport::waitForMessage(row.message));
        EXPECT_EQ(shownTexts(), QStringList {row.message});
        EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
        EXPECT_EQ(f.ActionList1->ActBURNISOExec->isEnabled(), !row.stillLocked);
        f.ActionList1->ActCancelBURNISOExec->trigger();
        ASSERT_TRUE(settleDrives());
    }
    EXPECT_EQ(m_writer->writes.size(), 1u);
}

TEST_F(SlowDrives, CancelWhileTheDriveIsAskedStartsNoBurn)
{
    TMainForm &f = *m_form;
    enterBurnPage();
    f.burnPage()->EdtBurnISOPath->setText(m_iso);
    m_layer->gate->close();
    f.ActionList1->ActBURNISOExec->trigger();
    f.ActionList1->ActCancelBURNISOExec->trigger();
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());
    m_layer->gate->open();
    ASSERT_TRUE(settleDrives());
    ASSERT_TRUE(settleDrives()); // the medium's answer has been handled and asked nothing more
    EXPECT_TRUE(m_writer->writes.empty());
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(SlowDrives, AnEraseStartWaitsForTheDriveWithTheWindowHeld)
{
    enterBurnPage();
    m_writer->medium.profile = 0x0a; // a written CD-RW
    m_writer->medium.status = DiscStatus::Full;
    m_layer->gate->close();
    MessageBoxSeam::setNextAnswer(IDYES); // the written disc is asked about first
    bool buttonsLocked = false;
    bool stayedOpen = false;
    eraseThroughTheWindow([&](TfrmErase *window) {
        buttonsLocked = !window->cmdErase->isEnabled() && !window->cmdCancel->isEnabled();
        window->close();
        stayedOpen = window->isVisible();
        m_layer->gate->open();
    });
    EXPECT_TRUE(buttonsLocked);
    EXPECT_TRUE(stayedOpen) << "the window cannot be closed while the drive is asked";
    ASSERT_TRUE(TestSupport::waitForMessage(QStringLiteral(" Erase     Completed!!!")));
    const QStringList texts = shownTexts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0],
              QStringLiteral("Everything on the CD-RW in drive E: (%1, /dev/sr1) will be erased.\n\n"
                             "It holds data whose label and size could not be read.\n\nErase this disc?")
                  .arg(m_writer->description.vendor + QLatin1Char(' ') + m_writer->description.product));
    EXPECT_EQ(texts[1], QStringLiteral(" Erase     Completed!!!"));
    ASSERT_TRUE(settleDrives());
    EXPECT_EQ(m_writer->erases, std::vector<bool> {true});
}

// The drive never answers within the bound: each step that asked it says so, and stops.
class HungDrives : public SlowDrives
{
protected:
    HungDrives() { m_holdFromTheStart = false; }
    // Short, yet long enough for drives that answer at once on a busy machine.
    std::chrono::milliseconds driveAnswerBound() const override { return 1000ms; }
};

TEST_F(HungDrives, EveryStepReportsTheSilentDriveAndTheWindowStaysUsable)
{
    TMainForm &f = *m_form;
    enterBurnPage();
    MessageBoxSeam::takeShown(); // from here on the drive stops answering
    const QString silent = DriveNotAnsweringText(1000ms);
    f.burnPage()->EdtBurnISOPath->setText(m_iso);
    m_layer->gate->close();

    f.ActionList1->ActBURNISOExec->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(silent));
    EXPECT_EQ(shownTexts(), QStringList {silent});
    EXPECT_EQ(f.cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(f.ActionList1->ActBURNISOExec->isEnabled()) << "like a refused start, the page stays locked";
    f.ActionList1->ActCancelBURNISOExec->trigger();
    EXPECT_TRUE(f.ActionList1->ActBURNISOExec->isEnabled());

    eraseThroughTheWindow([](TfrmErase *) {});
    const auto erase = MessageBoxSeam::takeShown();
    ASSERT_EQ(erase.size(), 1);
    EXPECT_EQ(erase[0].text, silent);
    EXPECT_EQ(erase[0].kind, 3) << "the erase window's plain message";

    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(TestSupport::waitForMessage(silent));
    EXPECT_EQ(shownTexts(), QStringList {silent});
    EXPECT_EQ(f.burnPage()->CboCDRWList->count(), 0);

    // The window itself goes on: another page, the compilation.
    f.ActionList1->ActFILETOISO->trigger();
    EXPECT_EQ(f.currentPageName(), QStringLiteral("FILETOISO"));
    ASSERT_EQ(f.compilationPage()->TsListDir->topLevelItemCount(), 1);

    // The drive comes back: what was reported overdue neither starts late nor speaks up, and the
    // next entry works as usual.
    m_layer->gate->open();
    f.ActionList1->ActBURNISO->trigger();
    ASSERT_TRUE(TestSupport::waitFor([&f] { return f.burnPage()->CboCDRWList->count() == 1; }, 30000));
    ASSERT_TRUE(settleDrives());
    EXPECT_TRUE(shownTexts().isEmpty());
    EXPECT_TRUE(m_writer->writes.empty());
    EXPECT_TRUE(m_writer->erases.empty());
}

} // namespace
