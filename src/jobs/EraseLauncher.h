#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class DriveThread;
class QWidget;
class TDVDWriterPro2;
class TfrmErase;

// Opens a fresh erase window for every click and routes the engine's erase-complete event to it.
class EraseLauncher final : public QObject
{
    Q_OBJECT
public:
    // `recorderLetter` answers the letter of the recorder chosen on the burn page (empty: none).
    EraseLauncher(QWidget *owner, TDVDWriterPro2 *eraseEngine, DriveThread *drives,
                  std::function<QString()> recorderLetter);

    // The Erase button's click: a new window, shown modally.
    void suiImageButton20Click();
    TfrmErase *currentEraseWindow() const { return m_current; }

private:
    void DVDWriterPro1EraseDiscComplete();

    QWidget *m_owner;
    TDVDWriterPro2 *m_engine;
    DriveThread *m_drives;
    std::function<QString()> m_recorderLetter;
    QPointer<TfrmErase> m_current;
};
