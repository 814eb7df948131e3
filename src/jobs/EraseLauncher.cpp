#include "jobs/EraseLauncher.h"

#include "engine/TDVDWriterPro2.h"
#include "jobs/TfrmErase.h"

EraseLauncher::EraseLauncher(QWidget *owner, TDVDWriterPro2 *eraseEngine, DriveThread *drives,
                             std::function<QString()> recorderLetter)
    : QObject(owner)
    , m_owner(owner)
    , m_engine(eraseEngine)
    , m_drives(drives)
    , m_recorderLetter(std::move(recorderLetter))
{
    connect(m_engine, &TDVDWriterPro2::OnEraseDiscComplete, this,
            &EraseLauncher::DVDWriterPro1EraseDiscComplete);
}

void EraseLauncher::suiImageButton20Click()
{
    // The window before this one is done with: it closed when its modal run ended.
    if (m_current)
        m_current->deleteLater();
    m_current = new TfrmErase(m_owner);
    m_current->attachEngine(m_engine, m_drives, m_recorderLetter ? m_recorderLetter() : QString());
    m_current->exec();
}

void EraseLauncher::DVDWriterPro1EraseDiscComplete()
{
    if (m_current)
        m_current->eraseCompleted();
}
