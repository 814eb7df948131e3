#include "jobs/DriveLists.h"

#include "app/MessageBox.h"
#include "engine/EngineCodes.h"
#include "engine/TDVDWriterPro2.h"
#include "jobs/StickListFollower.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <cmath>

DriveLists::DriveLists(TDVDWriterPro2 *engine, QComboBox *CboCdList, QComboBox *CboCDRWList,
                       QLineEdit *EdtSavePath, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
    , m_cdList(CboCdList)
    , m_cdrwList(CboCDRWList)
    , m_savePath(EdtSavePath)
{
    // The reader list only offers its entries: typed characters never reach its text.
    if (m_cdList->lineEdit())
        m_cdList->lineEdit()->installEventFilter(this);
    m_cdList->installEventFilter(this);
    // With the drop-down open the keys go to its view, whose keyboard search would pick an entry.
    m_cdList->view()->installEventFilter(this);
    // A pick by the user opens the writer; filling the list programmatically does not.
    connect(m_cdrwList, &QComboBox::activated, this, [this](int) { CboCDRWListClick(); });
    FollowStickPlugging(this, m_engine, m_cdrwList);
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

void DriveLists::FillDriveList(QComboBox *list, int mode)
{
    const QSignalBlocker quiet(list);
    list->clear();
    list->setEditText(QString());
    const int count = m_engine->DriveCount();
    for (int i = 0; i < count; ++i) {
        if (mode == WritersOnly && !m_engine->IsWriter(i))
            continue;
        if (mode == EveryDrive && m_engine->StickDetails(i))
            continue; // a stick is a target, not a disc to read
        list->addItem(m_engine->DriveLetter(i) + QLatin1Char(':') + m_engine->DriveVendor(i) +
                      QLatin1Char(' ') + m_engine->DriveProduct(i));
    }
    if (list->count() > 0)
        list->setCurrentIndex(0);
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
    return m_cdrwList->count() > 0 ? m_cdrwList->currentText().left(1) : QString();
}

void DriveLists::CboCDRWListClick()
{
    const int index = FindDriveIndex(m_engine, chosenRecorderLetter());
    if (m_cdrwList->count() > 0 && !m_engine->SelectDrive(index))
        ShowMessageBox(QStringLiteral("Select a different drive...could not open selected drive!"), 1);
}

std::optional<int> DriveLists::WriteSpeedMultiple(int discType, int maxWriteSpeed)
{
    // The engine reports speeds in kB/s: a multiple of the medium class's base speed.
    const double base =
        EngineCodes::isCdClass(discType) ? EngineCodes::CdBaseSpeed : EngineCodes::DvdBaseSpeed;
    if (maxWriteSpeed <= 0)
        return std::nullopt;
    return static_cast<int>(std::lround(maxWriteSpeed / base));
}

void DriveLists::ApplyWriteSpeed()
{
    const int type = m_engine->DiscType();
    if (const auto multiple = WriteSpeedMultiple(type, m_engine->MaxWriteSpeed()))
        m_engine->SetWriteSpeed(*multiple);
}

void DriveLists::EnterCdToIsoPage()
{
    FillDriveList(m_cdList, EveryDrive);
    m_engine->ResetImage();
    m_savePath->clear();
}

void DriveLists::EnterBurnIsoPage()
{
    FillDriveList(m_cdrwList, WritersOnly);
    CboCDRWListClick();
    ApplyWriteSpeed();
    m_engine->ResetImage();
    m_savePath->clear();
}
