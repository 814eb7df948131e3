#pragma once

#include "widgets/LinkLabel.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TThankForm;

// The About window: product, maker, version, home page and support address, and the thanks list.
class TAboutForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *parent = nullptr);

    // The thanks window the Thank button fills and shows.
    void setThankForm(TThankForm *thankForm) { m_thankForm = thankForm; }
    int gestureState() const { return m_gesture; }

    QFrame *Bevel1 = nullptr;
    QLabel *Image1 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QLabel *Company = nullptr;
    QLabel *ProductName1 = nullptr;
    QLabel *ProductName3 = nullptr;
    QLabel *ProductName2 = nullptr;
    QLabel *Version = nullptr;
    LinkLabel *URL = nullptr;
    QLabel *Label1 = nullptr;
    LinkLabel *EMAIL = nullptr;
    QFrame *Bevel2 = nullptr;
    QPushButton *ThankButton = nullptr;
    QPushButton *Button1 = nullptr;

    void URLClick();
    void EMAILClick();
    void ThankButtonClick();
    void CompanyTopClick();
    void Image1MouseDown(const QPoint &pos, Qt::KeyboardModifiers modifiers);
    void Image1MouseUp(const QPoint &pos, Qt::KeyboardModifiers modifiers);

    // The two small areas of the hidden gesture, in the picture's coordinates.
    static QRect pressArea() { return {0, 300, 24, 24}; }
    static QRect releaseArea() { return {0, 330, 24, 24}; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    TThankForm *m_thankForm = nullptr;
    int m_gesture = 0;
};
