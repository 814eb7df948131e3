#include "jobs/DriveLists.h"

#include "app/MessageBox.h"
#include "engine/DriveThread.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/BurnIsoPage.h"
#include "jobs/CdToIsoPage.h"
#include "jobs/DriveAnswers.h"
#include "jobs/StickListFollower.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <cmath>

DriveLists::DriveLists(TDVDWriterPro2 *engine, DriveThread *drives, CdToIsoPage &cdPage,
                       BurnIsoPage &burnPage, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_drives(drives)
    , m_cdPage(cdPage)
    , m_burnPage(burnPage)
{
    // The reader list only offers its entries: typed characters never reach its text.
    if (m_cdPage.CboCdList->lineEdit())
        m_cdPage.CboCdList->lineEdit()->installEventFilter(this);
    m_cdPage.CboCdList->installEventFilter(this);
    // With the drop-down open the keys go to its view, whose keyboard search would pick an entry.
    m_cdPage.CboCdList->view()->installEventFilter(this);
    // A pick by the user opens the writer; filling the list programmatically does not.
    connect(m_burnPage.CboCDRWList, &QComboBox::activated, this, [this](int) { CboCDRWListClick(); });
    FollowStickPlugging(this, m_drives, m_engine, m_burnPage.CboCDRWList);
}

bool DriveLists::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            return true; // CboCdListKeyPress: the character is dropped
    }
    return QObject::eventFilter(watched, event);
}

void DriveLists::notAnswered(const Then &then)
{
    ShowMessageBox(DriveNotAnsweringText(m_drives->answerBound()), 1);
    if (then)
        then(false);
}

QStringList DriveLists::DriveEntries(const TDVDWriterPro2 *engine, Mode mode)
{
    QStringList entries;
    const int count = engine->DriveCount();
    for (int i = 0; i < count; ++i) {
        if (mode == WritersOnly && !engine->IsWriter(i))
            continue;
        if (mode == EveryDrive && engine->StickDetails(i))
            continue; // a stick is a target, not a disc to read
        entries.append(engine->DriveLetter(i) + QLatin1Char(':') + engine->DriveVendor(i) + QLatin1Char(' ') +
                       engine->DriveProduct(i));
    }
    return entries;
}

void DriveLists::FillDriveList(QComboBox *list, Mode mode, Then then)
{
    {
        const QSignalBlocker quiet(list);
        list->clear();
        list->setEditText(QString());
    }
    TDVDWriterPro2 *engine = m_engine;
    m_drives->ask(
        this, [engine, mode] { return DriveEntries(engine, mode); },
        [this, list, then = std::move(then)](std::optional<QStringList> entries) {
            if (!entries) {
                notAnswered(then);
                return;
            }
            {
                const QSignalBlocker quiet(list);
                list->clear();
                list->setEditText(QString());
                list->addItems(*entries);
                if (list->count() > 0)
                    list->setCurrentIndex(0);
            }
            if (then)
                then(true);
        });
}

int DriveLists::FindDriveIndex(const TDVDWriterPro2 *engine, const QString &letter)
{
    const int count = engine->DriveCount();
    for (int i = 0; i < count; ++i) {
        if (engine->DriveLetter(i) == letter)
            return i;
    }
    return -1; // no drive has this index: SelectDrive refuses it
}

QString DriveLists::chosenRecorderLetter() const
{
    // The entry picked from the list, not the field's text: the field takes typing, and typed text is
    // no choice of a drive (an erase of whatever "Zed" names would be a guess).
    const int chosen = m_burnPage.CboCDRWList->currentIndex();
    return chosen >= 0 ? m_burnPage.CboCDRWList->itemText(chosen).left(1) : QString();
}

void DriveLists::CboCDRWListClick(Then then)
{
    if (m_burnPage.CboCDRWList->count() == 0) {
        // With an empty list no drive is selected and nothing is shown.
        if (then)
            then(true);
        return;
    }
    TDVDWriterPro2 *engine = m_engine;
    const QString letter = chosenRecorderLetter();
    m_drives->ask(
        this, [engine, letter] { return engine->SelectDrive(FindDriveIndex(engine, letter)); },
        [this, then = std::move(then)](std::optional<bool> selected) {
            if (!selected) {
                notAnswered(then);
                return;
            }
            if (!*selected)
                ShowMessageBox(QStringLiteral("Select a different drive...could not open selected drive!"),
                               1);
            if (then)
                then(true);
        });
}

std::optional<int> DriveLists::WriteSpeedMultiple(int discType, int maxWriteSpeed)
{
    // The engine reports speeds in kB/s. Every medium that is not a CD is divided by 1380, not by the
    // engine's 1385 (3450 kB/s is 3x, not 2x; a 2x BD drive at 8990 kB/s is 7x, not 6x).
    constexpr double NotCdDivisor = 1380.0;
    const double base = EngineCodes::isCdClass(discType) ? double(EngineCodes::CdBaseSpeed) : NotCdDivisor;
    if (maxWriteSpeed <= 0)
        return std::nullopt;
    return static_cast<int>(std::lround(maxWriteSpeed / base));
}

void DriveLists::ApplyWriteSpeed(Then then)
{
    TDVDWriterPro2 *engine = m_engine;
    m_drives->ask(
        this,
        [engine] {
            const int type = engine->DiscType();
            if (const auto multiple = WriteSpeedMultiple(type, engine->MaxWriteSpeed()))
                engine->SetWriteSpeed(*multiple);
            return true;
        },
        [this, then = std::move(then)](std::optional<bool> done) {
            if (!done) {
                notAnswered(then);
                return;
            }
            if (then)
                then(true);
        });
}

DriveLists::Then DriveLists::entryEnd(Then then)
{
    return [this, then = std::move(then)](bool answered) {
        Q_EMIT pageEntryEnded(answered);
        if (then)
            then(answered);
    };
}

void DriveLists::EnterCdToIsoPage(Then then)
{
    FillDriveList(m_cdPage.CboCdList, EveryDrive, entryEnd(std::move(then)));
    m_engine->ResetImage();
    m_cdPage.EdtSavePath->clear();
}

void DriveLists::EnterBurnIsoPage(Then then)
{
    // The list, the pick of its first writer and the write speed follow one another as the drive
    // answers; what needs no drive is done at once.
    FillDriveList(m_burnPage.CboCDRWList, WritersOnly,
                  [this, then = entryEnd(std::move(then))](bool answered) mutable {
                      if (!answered) {
                          if (then)
                              then(false);
                          return;
                      }
                      CboCDRWListClick([this, then = std::move(then)](bool selectAnswered) mutable {
                          if (!selectAnswered) {
                              if (then)
                                  then(false);
                              return;
                          }
                          ApplyWriteSpeed(std::move(then));
                      });
                  });
    m_engine->ResetImage();
    m_cdPage.EdtSavePath->clear();
}
