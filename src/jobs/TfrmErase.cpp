#include "TfrmErase.h"

TfrmErase::TfrmErase(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmErase"));
    setWindowTitle(QStringLiteral("frmErase"));
    resize(390, 160);
}
