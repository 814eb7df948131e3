#include "dialogs/TThankForm.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

TThankForm::TThankForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ThankForm"));
    setWindowTitle(QStringLiteral("Thank"));
    setFixedSize(482, 331);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setGeometry(8, 8, 465, 273);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(376, 296, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TThankForm::keyPressEvent(QKeyEvent *event)
{
    // The thanks window has no cancel button: Escape leaves it open. Its close box still closes it.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
