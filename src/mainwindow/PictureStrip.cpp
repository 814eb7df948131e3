#include "mainwindow/PictureStrip.h"

#include "widgets/TsuiImageButton.h"

#include <QCoreApplication>
#include <QLabel>

PictureStrip::PictureStrip(QObject *parent)
    : QObject(parent)
{ }

void PictureStrip::addBanner(QLabel *banner)
{
    m_banners.append(banner);
}

void PictureStrip::describe(TsuiImageButton *button, QLabel *banner)
{
    // What the banner shows to the eye, the button's description says to a screen reader.
    button->setAccessibleDescription(banner->accessibleName());
    // Qt may hand an enter to a button on a page that has just been hidden (a job switching pages
    // under a still pointer); a button the user cannot see describes nothing.
    connect(button, &TsuiImageButton::OnMouseEnter, this, [this, button, banner] {
        if (button->isVisibleTo(button->window()))
            ShowPictureStrip(banner);
    });
}

void PictureStrip::setPageBanner(const QString &page, QLabel *banner)
{
    m_pageBanners.insert(page, banner);
}

void PictureStrip::ShowPictureStrip(QLabel *picture)
{
    QCoreApplication::processEvents();
    for (QLabel *banner : std::as_const(m_banners))
        banner->hide();
    if (picture)
        picture->show();
}

void PictureStrip::backgroundMoved(const QString &page)
{
    QLabel *wanted = m_pageBanners.value(page);
    if (!wanted) {
        ShowPictureStrip(nullptr);
        return;
    }
    // The right banner is already up: no work while the pointer wanders over the background.
    if (!wanted->isHidden())
        return;
    ShowPictureStrip(wanted);
}

QLabel *PictureStrip::visibleBanner() const
{
    for (QLabel *banner : m_banners) {
        if (!banner->isHidden())
            return banner;
    }
    return nullptr;
}
