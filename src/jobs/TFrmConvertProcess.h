#pragma once

#include <QDialog>

class QLabel;
class QMovie;
class QProgressBar;
class TsuiImageButton;

// The modal progress window of an image job: a looping animation, the write progress and a cancel button.
class TFrmConvertProcess final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmConvertProcess(QWidget *parent = nullptr);

    // Plays the animation file in a loop; a missing file leaves the area blank.
    void playAnimation(const QString &path);
    void showWriteProgress(qint64 bytesWritten, qint64 bytesTotal);

    QLabel *ShockwaveFlash1 = nullptr;
    TsuiImageButton *suiImageButton1 = nullptr;
    QProgressBar *WriteProgress = nullptr;

Q_SIGNALS:
    // The window has been shown: the job starts now.
    void FormShown();
    // The cancel button was pressed.
    void CancelPressed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    QMovie *m_movie = nullptr;
};
