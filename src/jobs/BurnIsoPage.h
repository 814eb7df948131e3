#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QIcon;
class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;
class TsuiImageButton;

// The BURNISO page: an image file burnt to a disc or a stick. DriveLists fills its writer list,
// BurnController burns, EraseLauncher erases.
class BurnIsoPage final : public QWidget
{
    Q_OBJECT
public:
    // `browse` is the picture of the "..." button (none: the button shows its text).
    explicit BurnIsoPage(const QIcon &browse, QWidget *parent = nullptr);

    QLabel *ImgRecorder = nullptr;
    QComboBox *CboCDRWList = nullptr;
    QLabel *ImgIsoFile = nullptr;
    QLineEdit *EdtBurnISOPath = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QProgressBar *PsBarWriteDisk = nullptr;
    TsuiImageButton *suiImageButton20 = nullptr; // Erase
    TsuiImageButton *suiImageButton16 = nullptr; // Burn ISO
    TsuiImageButton *suiImageButton17 = nullptr; // Cancel
    // The running job in words (stage, percent, speed, time left) above the bar; empty when idle.
    QLabel *LblBurnStatus = nullptr;
    // Whether a burn reads the disc back against its image; the option file keeps it.
    QCheckBox *ChkVerifyAfterBurn = nullptr;
};
