#include "TFrmConvertProcess.h"

TFrmConvertProcess::TFrmConvertProcess(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FrmConvertProcess"));
    setWindowTitle(QStringLiteral("Converting......"));
    setFixedSize(400, 100);
}
