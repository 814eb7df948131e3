#pragma once

#include <QDialog>

// The modal progress window of an image job.
class TFrmConvertProcess final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmConvertProcess(QWidget *parent = nullptr);
};
