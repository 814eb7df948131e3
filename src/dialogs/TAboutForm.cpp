#include "TAboutForm.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel *placedLabel(QWidget *parent, const char *name, int left, int top)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    return label;
}

} // namespace

TAboutForm::TAboutForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutForm"));
    setFixedSize(594, 377);
    // Drawn bottom-up, one pixel apart: white, gray, then black on top gives the embossed title.
    ProductName1 = placedLabel(this, "ProductName1", 248, 36);
    ProductName3 = placedLabel(this, "ProductName3", 248, 35);
    ProductName2 = placedLabel(this, "ProductName2", 248, 34);
    Company = placedLabel(this, "Company", 248, 11);
    Version = placedLabel(this, "Version", 248, 107);
    URL = placedLabel(this, "URL", 248, 181);
    Label1 = placedLabel(this, "Label1", 248, 200);
    Label1->setText(QStringLiteral("E-Mail:"));
    EMAIL = placedLabel(this, "EMAIL", 288, 198);

    ThankButton = new QPushButton(QStringLiteral("Thank"), this);
    ThankButton->setObjectName(QStringLiteral("ThankButton"));
    ThankButton->setGeometry(256, 336, 75, 25);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(464, 336, 73, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}
