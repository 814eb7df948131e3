#pragma once

#include <QWidget>

class QComboBox;
class QIcon;
class QLabel;
class QLineEdit;
class QToolButton;
class TsuiImageButton;

// The CDTOISO page: a disc in a reader made into an image file. DriveLists fills its reader list,
// ImageJobController makes the image.
class CdToIsoPage final : public QWidget
{
    Q_OBJECT
public:
    // `browse` is the picture of the "..." button (none: the button shows its text).
    explicit CdToIsoPage(const QIcon &browse, QWidget *parent = nullptr);

    QLabel *ImgSourceDrive = nullptr;
    QComboBox *CboCdList = nullptr;
    QLabel *ImgOutputIsoFile = nullptr;
    QLineEdit *EdtSavePath = nullptr;
    QToolButton *SbtnSelSavepath = nullptr;
    TsuiImageButton *suiImageButton15 = nullptr; // Make ISO
};
