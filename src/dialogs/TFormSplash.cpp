#include "dialogs/TFormSplash.h"

#include "widgets/RatioPicture.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TFormSplash::TFormSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FormSplash"));
    resize(403, 203);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(0, 0);
}

bool TFormSplash::loadPicture(const QString &jpegPath)
{
    // On finer screens the drawing of twice the size beside it, shown at the plain picture's size.
    const QImage picture = RatioPicture::read(jpegPath, RatioPicture::screenRatio());
    if (picture.isNull())
        return false;
    Image1->setPixmap(QPixmap::fromImage(picture));
    const QSize size = picture.deviceIndependentSize().toSize();
    Image1->resize(size);
    setFixedSize(size);
    return true;
}

void TFormSplash::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}
