#include "MainFormFixture.h"

#include "TestSupport.h"
#include "app/FileDialogs.h"
#include "app/GlobalSettings.h"
#include "app/MessageBox.h"
#include "app/Shell.h"
#include "compilation/TFrmFilesSelect.h"
#include "dialogs/TAboutForm.h"
#include "engine/DriveThread.h"
#include "jobs/TFrmConvertProcess.h"

#include <QDir>
#include <QFile>

QString MainFormFixture::programFolder() const
{
    return m_root.filePath(QStringLiteral("Kestrane")) + QLatin1Char('/');
}

std::chrono::milliseconds MainFormFixture::driveAnswerBound() const
{
    return DriveThread::DefaultAnswerBound;
}

void MainFormFixture::SetUp()
{
    ASSERT_TRUE(m_root.isValid());
    ASSERT_TRUE(QDir().mkpath(programFolder()));
    ASSERT_TRUE(QFile::link(QStringLiteral(KESTRANE_PROGRAM_DIR "/Image"),
                            programFolder() + QStringLiteral("Image")));
    qputenv("XDG_DATA_HOME", m_root.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", m_root.filePath(QStringLiteral("config")).toUtf8());
    Globals() = GlobalSettings {};
    InitProductSettings(programFolder());
    // The start-up pause is tested with the start-up; here a show enters the first page at once.
    Globals().FirstShow = false;
    FileDialogSeam::enable();
    ShellSeam::enable();
    m_form = std::make_unique<TMainForm>(driveAnswerBound());
    SecondaryWindows windows;
    windows.AboutForm = new TAboutForm(m_form.get());
    windows.FrmFilesSelect = new TFrmFilesSelect(m_form.get());
    windows.FrmConvertProcess = new TFrmConvertProcess(m_form.get());
    m_form->adoptSecondaryWindows(windows);
    MessageBoxSeam::takeShown();
}

void MainFormFixture::TearDown()
{
    m_form.reset();
    TestSupport::waitForMimeTool(m_root.path());
    FileDialogSeam::disable();
    ShellSeam::disable();
    MessageBoxSeam::takeShown();
}
