#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About window: product, maker, version, home page and support address.
class TAboutForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);

    QLabel *Company = nullptr;
    QLabel *ProductName1 = nullptr;
    QLabel *ProductName3 = nullptr;
    QLabel *ProductName2 = nullptr;
    QLabel *Version = nullptr;
    QLabel *URL = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *EMAIL = nullptr;
    QPushButton *ThankButton = nullptr;
    QPushButton *Button1 = nullptr;
};
