#include "jobs/TFrmConvertProcess.h"

#include "app/GlobalSettings.h"
#include "widgets/ArtworkFiles.h"
#include "widgets/TsuiImageButton.h"
#include "widgets/TsuiPicture.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QScreen>

TFrmConvertProcess::TFrmConvertProcess(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FrmConvertProcess"));
    setWindowTitle(QStringLiteral("Converting......"));
    setFixedSize(400, 100);
    setModal(true);

    ShockwaveFlash1 = new QLabel(this);
    ShockwaveFlash1->setObjectName(QStringLiteral("ShockwaveFlash1"));
    ShockwaveFlash1->setGeometry(0, 0, 400, 100);
    ShockwaveFlash1->setAlignment(Qt::AlignCenter);

    // Long writes deserve a figure: a thin bar along the bottom edge, under the animation.
    WriteProgress = new QProgressBar(this);
    WriteProgress->setObjectName(QStringLiteral("WriteProgress"));
    WriteProgress->setGeometry(0, 96, 400, 4);
    WriteProgress->setRange(0, 1000);
    WriteProgress->setTextVisible(false);

    suiImageButton1 = new TsuiImageButton(this);
    suiImageButton1->setObjectName(QStringLiteral("suiImageButton1"));
    suiImageButton1->setAccessibleName(QStringLiteral("Cancel"));
    using ArtworkFiles::ButtonState;
    const auto picture = [](ButtonState state) {
        return TsuiPicture::fromFile(Globals().ExeFolder + ArtworkFiles::button("ProgressCancel", state));
    };
    suiImageButton1->setPicNormal(picture(ButtonState::Normal));
    suiImageButton1->setPicMouseOn(picture(ButtonState::MouseOn));
    suiImageButton1->setPicMouseDown(picture(ButtonState::MouseDown));
    // Opaque: drawn over the moving animation, a see-through corner would flicker with it.
    suiImageButton1->setTransparent(false);
    suiImageButton1->setGeometry(162, 72, 66, 27);
    suiImageButton1->raise();
    connect(suiImageButton1, &TsuiImageButton::OnClick, this, &TFrmConvertProcess::CancelPressed);
}

void TFrmConvertProcess::playAnimation(const QString &path)
{
    if (m_movie) {
        m_movie->stop();
        m_movie->deleteLater();
        m_movie = nullptr;
    }
    ShockwaveFlash1->clear();
    if (!QFileInfo::exists(path))
        return;
    m_movie = new QMovie(path, QByteArray(), this);
    ShockwaveFlash1->setMovie(m_movie);
    m_movie->start();
}

void TFrmConvertProcess::showWriteProgress(qint64 bytesWritten, qint64 bytesTotal)
{
    WriteProgress->setValue(bytesTotal > 0 ? int(bytesWritten * 1000 / bytesTotal) : 0);
}

void TFrmConvertProcess::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
    WriteProgress->setValue(0);
    Q_EMIT FormShown();
}

void TFrmConvertProcess::closeEvent(QCloseEvent *event)
{
    // No close box: the job ends the window, or the cancel button does.
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TFrmConvertProcess::reject()
{
    // Escape does not abandon a running job; only the cancel button does.
}
