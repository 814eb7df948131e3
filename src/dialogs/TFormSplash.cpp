#include "dialogs/TFormSplash.h"

#include <QGuiApplication>
#include <QImageReader>
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
    QImageReader reader(jpegPath, "jpeg");
    const QImage picture = reader.read();
    if (picture.isNull())
        return false;
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->resize(picture.size());
    setFixedSize(picture.size());
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
