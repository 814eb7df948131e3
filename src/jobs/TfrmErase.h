#pragma once

#include <QDialog>

// The erase window.
class TfrmErase final : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmErase(QWidget *parent = nullptr);
};
