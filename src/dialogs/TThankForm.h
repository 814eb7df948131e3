#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The thanks window: a read-only text of acknowledgements.
class TThankForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TThankForm(QWidget *parent = nullptr);

    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
};
