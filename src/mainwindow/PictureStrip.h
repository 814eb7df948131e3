#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

class QLabel;
class TsuiImageButton;

// The description strip: banners lying on top of each other, at most one visible. It describes
// the button under the pointer and falls back to the current page's banner on the background.
class PictureStrip final : public QObject
{
    Q_OBJECT
public:
    explicit PictureStrip(QObject *parent = nullptr);

    void addBanner(QLabel *banner);
    // Entering the button brings up its banner.
    void describe(TsuiImageButton *button, QLabel *banner);
    void setPageBanner(const QString &page, QLabel *banner);

    // Handles pending window messages, hides every banner, then shows the one given (if any).
    void ShowPictureStrip(QLabel *picture);
    // The pointer is on the window's background or the page area while `page` is current.
    void backgroundMoved(const QString &page);

    QLabel *visibleBanner() const;

    // The banners, made by the main window's face and shown by the strip.
    QLabel *ImgCDTOISO = nullptr;
    QLabel *ImgDATATOISO = nullptr;
    QLabel *ImgBURNISO = nullptr;
    QLabel *ImgAbout = nullptr;
    QLabel *ImgWEBSITE = nullptr;
    QLabel *ImgEmail = nullptr;
    QLabel *ImgHelp = nullptr;
    QLabel *ImgBtnAddFile = nullptr;
    QLabel *ImgBtnRemoveFile = nullptr;
    QLabel *ImgBtnClearAll = nullptr;
    QLabel *ImgBtnSaveList = nullptr;
    QLabel *ImgBtnLoadList = nullptr;
    QLabel *ImgBtnMakeIso = nullptr;
    QLabel *ImgBtnBurnIso = nullptr;
    QLabel *ImgBtnCancel = nullptr;

private:
    QList<QLabel *> m_banners;
    QHash<QString, QLabel *> m_pageBanners;
};
