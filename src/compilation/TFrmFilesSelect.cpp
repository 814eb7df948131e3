#include "TFrmFilesSelect.h"

TFrmFilesSelect::TFrmFilesSelect(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmFilesSelect"));
    setWindowTitle(QStringLiteral("Select Files and Folders"));
    resize(488, 271);
}
