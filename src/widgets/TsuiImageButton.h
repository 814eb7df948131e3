#pragma once

#include "widgets/TsuiPicture.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QAction;
class QPainter;
class QShortcut;

// The three-state picture button: draws the picture of its state (normal, pointer over it, pressed,
// disabled), lets the window behind show through the picture's key colour, and behaves as a push
// button for mouse and keyboard. It is bound either to an action or to its OnClick signal.
class TsuiImageButton final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool DrawFocused READ DrawFocused WRITE setDrawFocused)
    Q_PROPERTY(int FocusedRectMargin READ FocusedRectMargin WRITE setFocusedRectMargin)
    Q_PROPERTY(int MouseContinuouslyDownInterval READ MouseContinuouslyDownInterval WRITE
                   setMouseContinuouslyDownInterval)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE setModalResult)
    Q_PROPERTY(bool Default READ Default WRITE setDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE setCancel)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QString UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(bool TabStop READ TabStop WRITE setTabStop)

public:
    explicit TsuiImageButton(QWidget *parent = nullptr);
    ~TsuiImageButton() override;

    const TsuiPicture &PicNormal() const { return m_picNormal; }
    const TsuiPicture &PicMouseOn() const { return m_picMouseOn; }
    const TsuiPicture &PicMouseDown() const { return m_picMouseDown; }
    const TsuiPicture &PicDisabled() const { return m_picDisabled; }
    void setPicNormal(const TsuiPicture &picture);
    void setPicMouseOn(const TsuiPicture &picture);
    void setPicMouseDown(const TsuiPicture &picture);
    void setPicDisabled(const TsuiPicture &picture);

    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value);
    bool Transparent() const { return m_transparent; }
    void setTransparent(bool value);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool value);
    bool DrawFocused() const { return m_drawFocused; }
    void setDrawFocused(bool value);
    int FocusedRectMargin() const { return m_focusedRectMargin; }
    void setFocusedRectMargin(int value);
    int MouseContinuouslyDownInterval() const { return m_repeatInterval; }
    void setMouseContinuouslyDownInterval(int ms) { m_repeatInterval = ms; }
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int value) { m_modalResult = value; }
    bool Default() const { return m_defaultShortcut != nullptr; }
    void setDefault(bool value);
    bool Cancel() const { return m_cancelShortcut != nullptr; }
    void setCancel(bool value);
    QString Caption() const { return m_caption; }
    void setCaption(const QString &text);
    QString UIStyle() const { return m_uiStyle; }
    void setUIStyle(const QString &style) { m_uiStyle = style; }
    bool TabStop() const;
    void setTabStop(bool value);

    QAction *Action() const { return m_action; }
    void setAction(QAction *action);

    // The background colour used where no picture covers a button that is not transparent.
    QColor Color() const;
    void setColor(const QColor &colour);

    // Run-time state, readable for the window's own checks.
    bool isHover() const { return m_hover; }
    bool isPressed() const { return m_pressed; }
    bool isRepeating() const { return m_repeat.isActive(); }
    // The focus mark is up: the button has the focus and the keyboard brought it there or used it.
    bool showsFocusMark() const;
    // The picture the next paint draws.
    QImage currentPicture() const;

    // A click as the mouse or the keyboard makes it.
    void Click();

    QSize sizeHint() const override;

Q_SIGNALS:
    void OnClick();
    void OnMouseEnter();
    void OnMouseExit();
    void OnMouseContinuouslyDown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void applyAutoSize();
    void followAction();
    void leftPress();
    bool outside(const QPoint &pos) const;
    const TsuiPicture &pictureForState() const;
    void paintFocusMark(QPainter &p) const;

    TsuiPicture m_picNormal;
    TsuiPicture m_picMouseOn;
    TsuiPicture m_picMouseDown;
    TsuiPicture m_picDisabled;
    bool m_autoSize = false;
    bool m_transparent = false;
    bool m_stretch = false;
    bool m_drawFocused = false;
    int m_focusedRectMargin = 2;
    int m_repeatInterval = 100;
    int m_modalResult = 0;
    QString m_caption;
    QString m_uiStyle;
    QPointer<QAction> m_action;
    QShortcut *m_defaultShortcut = nullptr;
    QShortcut *m_cancelShortcut = nullptr;

    bool m_hover = false;
    bool m_pressed = false;
    // A left press began on the button and its release is still to come.
    bool m_leftDown = false;
    // The keyboard moved to or used the button since the mouse last pressed it: only then is a focus
    // mark drawn, so clicking with the mouse does not leave a frame behind.
    bool m_keyboardFocus = false;
    QTimer m_repeat;
};
