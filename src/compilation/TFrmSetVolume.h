#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;

// "Set Volume": asks for a new volume label. A new window is made for every use.
class TFrmSetVolume final : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmSetVolume(QWidget *parent = nullptr);

    QString answer() const { return m_answer; }

    QLineEdit *EdtVolume = nullptr;
    QPushButton *Button1 = nullptr; // OK
    QPushButton *Button2 = nullptr; // Cancel

    void Button1Click();
    void Button2Click();

private:
    QString m_answer;
};

// Shows "Set Volume" modally: the typed text after "OK", the empty text after "Cancel" or closing.
QString AskVolumeLabel(QWidget *parent);
