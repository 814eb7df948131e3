#pragma once

#include <QWidget>

class QLabel;

// Borderless picture window shown while the program starts.
class TFormSplash final : public QWidget
{
    Q_OBJECT
public:
    explicit TFormSplash(QWidget *parent = nullptr);
    // Loads a JPEG picture and takes its size; false when it cannot be read.
    bool loadPicture(const QString &jpegPath);
    void centreOnScreen();
    QLabel *Image1 = nullptr;
};
