#pragma once

#include <QDialog>
#include <QMetaObject>

#include <memory>

class DriveThread;
class QCheckBox;
class QLabel;
class QPushButton;
class SleepInhibitor;
class TDVDWriterPro2;

// The erase window: a new one for every click on the Erase button.
class TfrmErase final : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmErase(QWidget *parent = nullptr);
    ~TfrmErase() override;

    // Takes the erase engine, the drive thread that asks it, and the letter of the recorder to erase
    // (the one the burn page's recorder list shows; empty when it lists none). The handlers are
    // attached at show.
    void attachEngine(TDVDWriterPro2 *engine, DriveThread *drives, const QString &recorderLetter);
    // The engine's erase-complete event, delivered by the main window to its current erase window.
    void eraseCompleted();

    QCheckBox *chkQuikErase = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblStatus = nullptr;
    QPushButton *cmdErase = nullptr;
    QPushButton *cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void FormShow();
    void cmdEraseClick();
    // After the checks (and the user's Yes for a disc with data): the erase itself.
    void startErase();
    void EraseStarted();
    void EraseWriteError(int WriteError, int DriveError, const QString &sErrorInfo,
                         const QString &sSenseInfo);
    void setButtonsEnabled(bool enabled);
    // The erase has ended, however: the machine may sleep again; the user, when elsewhere, is told.
    void endErase(const QString &text);

    TDVDWriterPro2 *m_engine = nullptr;
    DriveThread *m_drives = nullptr;
    QString m_recorderLetter;
    // Held from the erase's start to its end.
    std::unique_ptr<SleepInhibitor> m_awake;
};
