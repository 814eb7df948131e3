#include "compilation/TFrmSetVolume.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

TFrmSetVolume::TFrmSetVolume(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmSetVolume"));
    setWindowTitle(QStringLiteral("Set Volume"));
    resize(287, 105);

    auto *label = new QLabel(QStringLiteral("New Volume:"), this);
    label->move(8, 16);
    label->adjustSize();

    EdtVolume = new QLineEdit(this);
    EdtVolume->setObjectName(QStringLiteral("EdtVolume"));
    EdtVolume->setGeometry(79, 13, 184, 21);
    // No length limit: the label goes to the engine exactly as typed.
    EdtVolume->setMaxLength(std::numeric_limits<int>::max());
    label->setBuddy(EdtVolume);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(144, 40, 59, 24);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(208, 40, 59, 24);

    connect(Button1, &QPushButton::clicked, this, &TFrmSetVolume::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmSetVolume::Button2Click);
}

void TFrmSetVolume::Button1Click()
{
    m_answer = EdtVolume->text();
    accept();
}

void TFrmSetVolume::Button2Click()
{
    reject();
}

QString AskVolumeLabel(QWidget *parent)
{
    TFrmSetVolume window(parent);
    if (window.exec() != QDialog::Accepted)
        return QString();
    return window.answer();
}
