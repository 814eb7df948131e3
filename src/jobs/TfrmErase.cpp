#include "jobs/TfrmErase.h"

#include "app/MessageBox.h"
#include "core/EraseTable.h"
#include "core/SleepInhibitor.h"
#include "core/WriteErrors.h"
#include "engine/DriveThread.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/DiscQuestions.h"
#include "jobs/DriveAnswers.h"
#include "jobs/DriveLists.h"
#include "jobs/JobEndNotice.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

namespace {

// One erase window at a time listens to the engine; a new window takes the handlers over.
QMetaObject::Connection g_startConnection;
QMetaObject::Connection g_errorConnection;

// What the drive thread learnt before an erase: whether the recorder opened, the erase table's
// decision and what the disc holds.
struct EraseCheck
{
    bool selected = false;
    EraseDecision decision;
    std::optional<DiscContents> data;
};

} // namespace

TfrmErase::TfrmErase(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmErase"));
    setWindowTitle(QStringLiteral("frmErase"));
    resize(390, 160);
    move(381, 254);

    chkQuikErase = new QCheckBox(QStringLiteral("Perform Quick Erase"), this);
    chkQuikErase->setObjectName(QStringLiteral("chkQuikErase"));
    chkQuikErase->setChecked(true);
    chkQuikErase->setGeometry(16, 8, 200, 20);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QStringLiteral("NOTE: If not performing a quick erase, it could take \n"
                                   "several minutes to completely erase the disc. This \n"
                                   "operation cannot be cancelled. A quick erase will erase \n"
                                   "the table of contents, but not the actual data."));
    Label1->setGeometry(16, 30, 360, 64);

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setGeometry(8, 98, 374, 18);

    cmdErase = new QPushButton(QStringLiteral("&Erase"), this);
    cmdErase->setObjectName(QStringLiteral("cmdErase"));
    cmdErase->setGeometry(112, 122, 75, 25);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(204, 122, 75, 25);

    connect(cmdErase, &QPushButton::clicked, this, &TfrmErase::cmdEraseClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmErase::close);
}

TfrmErase::~TfrmErase() = default;

void TfrmErase::attachEngine(TDVDWriterPro2 *engine, DriveThread *drives, const QString &recorderLetter)
{
    m_engine = engine;
    m_drives = drives;
    m_recorderLetter = recorderLetter;
}

void TfrmErase::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmErase::FormShow()
{
    if (m_engine) {
        QObject::disconnect(g_startConnection);
        QObject::disconnect(g_errorConnection);
        g_startConnection =
            connect(m_engine, &TDVDWriterPro2::OnEraseDiscStart, this, &TfrmErase::EraseStarted);
        g_errorConnection =
            connect(m_engine, &TDVDWriterPro2::OnWriteError, this, &TfrmErase::EraseWriteError);
    }
    setButtonsEnabled(true);
}

void TfrmErase::cmdEraseClick()
{
    if (!m_engine || !m_drives)
        return;
    // The erase engine acts on the recorder the user sees chosen, never on a default drive: an
    // erase of another disc than the chosen one would lose its data.
    if (m_recorderLetter.isEmpty()) {
        ShowPlainMessage(QStringLiteral("There are no compatible drives reported."));
        close();
        return;
    }
    // The drive is asked on the drive thread: the selection, the disc type, the capabilities and what
    // the disc holds in one go, in that order. Meanwhile the window can be neither pressed again nor
    // closed.
    setButtonsEnabled(false);
    TDVDWriterPro2 *engine = m_engine;
    const QString letter = m_recorderLetter;
    m_drives->ask(
        this,
        [engine, letter] {
            EraseCheck check;
            check.selected = engine->SelectDrive(DriveLists::FindDriveIndex(engine, letter));
            if (!check.selected)
                return check;
            const int type = engine->DiscType();
            check.decision = DecideErase(type, [engine](int code) { return engine->HasCapability(code); });
            if (check.decision.erase)
                check.data = engine->DataOnDisc();
            return check;
        },
        [this](std::optional<EraseCheck> check) {
            if (!check) {
                setButtonsEnabled(true);
                ShowPlainMessage(DriveNotAnsweringText(m_drives->answerBound()));
                close();
                return;
            }
            if (!check->selected) {
                setButtonsEnabled(true);
                ShowPlainMessage(QStringLiteral("Select a different drive...could not open selected drive!"));
                close();
                return;
            }
            if (!check->decision.erase) {
                setButtonsEnabled(true);
                ShowPlainMessage(check->decision.message);
                close();
                return;
            }
            // What the disc holds is lost: the user says so first. No leaves the window ready.
            if (!AskEraseDisc(check->data)) {
                setButtonsEnabled(true);
                return;
            }
            startErase();
        });
}

void TfrmErase::startErase()
{
    TDVDWriterPro2 *engine = m_engine;
    const QString letter = m_recorderLetter;
    const bool quick = chkQuikErase->isChecked();
    m_awake = std::make_unique<SleepInhibitor>(SleepInhibitor::Job::Erase);
    m_drives->ask(
        this,
        [engine, letter, quick] {
            // The same recorder as asked about, selected again in case another window moved it.
            return engine->SelectDrive(DriveLists::FindDriveIndex(engine, letter)) &&
                engine->EraseDisc(quick);
        },
        [this](std::optional<bool> started) {
            setButtonsEnabled(true);
            if (!started) {
                const QString text = DriveNotAnsweringText(m_drives->answerBound());
                endErase(text);
                ShowPlainMessage(text);
                close();
                return;
            }
            if (!*started) {
                const QString text = QStringLiteral("Error Erasing Disc!!!");
                endErase(text);
                ShowPlainMessage(text);
                close();
            }
        });
}

void TfrmErase::EraseStarted()
{
    lblStatus->setText(QStringLiteral("Erasing Disc...Please Wait!!"));
    setButtonsEnabled(false);
}

void TfrmErase::EraseWriteError(int WriteError, int DriveError, const QString &sErrorInfo,
                                const QString &sSenseInfo)
{
    const QString text = ComposeWriteErrorText(WriteError, DriveError, sErrorInfo, sSenseInfo);
    endErase(text);
    ShowPlainMessage(text);
    setButtonsEnabled(true);
}

void TfrmErase::eraseCompleted()
{
    const QString done = QStringLiteral("Erase operation complete!!!");
    lblStatus->setText(done);
    endErase(done);
    ShowPlainMessage(QStringLiteral(" Erase     Completed!!!"));
    setButtonsEnabled(true);
    close();
    if (m_engine && m_drives) {
        TDVDWriterPro2 *engine = m_engine;
        m_drives->post([engine] { engine->EjectTray(0); });
    }
}

void TfrmErase::endErase(const QString &text)
{
    m_awake.reset();
    notifyIfInactive(this, text);
}

void TfrmErase::setButtonsEnabled(bool enabled)
{
    cmdErase->setEnabled(enabled);
    cmdCancel->setEnabled(enabled);
}

void TfrmErase::closeEvent(QCloseEvent *event)
{
    // While the disc is being erased the window stays: the erase cannot be stopped.
    if (cmdCancel->isEnabled())
        QDialog::closeEvent(event);
    else
        event->ignore();
}

void TfrmErase::reject()
{
    if (cmdCancel->isEnabled())
        QDialog::reject();
}
