#pragma once

#include <QDialog>

// The file and folder picker, "Select Files and Folders".
class TFrmFilesSelect final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmFilesSelect(QWidget *parent = nullptr);
};
