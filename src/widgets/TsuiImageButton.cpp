#include "widgets/TsuiImageButton.h"

#include "widgets/TsuiImageButtonAccessible.h"

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>

#include <algorithm>

namespace {

bool isPushKey(int key)
{
    return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

TsuiImageButton::TsuiImageButton(QWidget *parent)
    : QWidget(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&TsuiImageButtonAccessible::factory);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setBackgroundRole(QPalette::Button);
    resize(75, 25);
    connect(&m_repeat, &QTimer::timeout, this, &TsuiImageButton::OnMouseContinuouslyDown);
}

TsuiImageButton::~TsuiImageButton() = default;

void TsuiImageButton::setPicNormal(const TsuiPicture &picture)
{
    m_picNormal = picture;
    applyAutoSize();
    update();
}

void TsuiImageButton::setPicMouseOn(const TsuiPicture &picture)
{
    m_picMouseOn = picture;
    applyAutoSize();
    update();
}

void TsuiImageButton::setPicMouseDown(const TsuiPicture &picture)
{
    m_picMouseDown = picture;
    applyAutoSize();
    update();
}

void TsuiImageButton::setPicDisabled(const TsuiPicture &picture)
{
    m_picDisabled = picture;
    applyAutoSize();
    update();
}

void TsuiImageButton::setAutoSize(bool value)
{
    m_autoSize = value;
    applyAutoSize();
    update();
}

void TsuiImageButton::applyAutoSize()
{
    if (parentWidget() && m_autoSize && m_picNormal.isValid())
        resize(m_picNormal.size());
}

void TsuiImageButton::setTransparent(bool value)
{
    m_transparent = value;
    // A transparent button paints only its picture; Qt composes the parent beneath it.
    setAttribute(Qt::WA_OpaquePaintEvent, !value);
    update();
}

void TsuiImageButton::setStretch(bool value)
{
    m_stretch = value;
    update();
}

void TsuiImageButton::setDrawFocused(bool value)
{
    m_drawFocused = value;
    update();
}

void TsuiImageButton::setFocusedRectMargin(int value)
{
    m_focusedRectMargin = value;
    update();
}

void TsuiImageButton::setCaption(const QString &text)
{
    m_caption = text;
    update();
}

bool TsuiImageButton::TabStop() const
{
    return focusPolicy() != Qt::NoFocus;
}

void TsuiImageButton::setTabStop(bool value)
{
    setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

QColor TsuiImageButton::Color() const
{
    return palette().color(QPalette::Button);
}

void TsuiImageButton::setColor(const QColor &colour)
{
    QPalette p = palette();
    p.setColor(QPalette::Button, colour);
    setPalette(p);
    update();
}

void TsuiImageButton::setDefault(bool value)
{
    if (value == Default())
        return;
    if (!value) {
        delete std::exchange(m_defaultShortcut, nullptr);
        return;
    }
    m_defaultShortcut = new QShortcut(QKeySequence(Qt::Key_Return), this);
    m_defaultShortcut->setContext(Qt::WindowShortcut);
    connect(m_defaultShortcut, &QShortcut::activated, this, [this] {
        if (isEnabled())
            Click();
    });
}

void TsuiImageButton::setCancel(bool value)
{
    if (value == Cancel())
        return;
    if (!value) {
        delete std::exchange(m_cancelShortcut, nullptr);
        return;
    }
    m_cancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_cancelShortcut->setContext(Qt::WindowShortcut);
    connect(m_cancelShortcut, &QShortcut::activated, this, [this] {
        if (isEnabled())
            Click();
    });
}

void TsuiImageButton::setAction(QAction *action)
{
    if (m_action)
        disconnect(m_action, nullptr, this, nullptr);
    m_action = action;
    if (!action)
        return;
    connect(action, &QAction::changed, this, &TsuiImageButton::followAction);
    followAction();
}

void TsuiImageButton::followAction()
{
    if (!m_action)
        return;
    setEnabled(m_action->isEnabled());
    setVisible(m_action->isVisible());
    setCaption(m_action->text());
}

const TsuiPicture &TsuiImageButton::pictureForState() const
{
    const auto orNormal = [this](const TsuiPicture &picture) -> const TsuiPicture & {
        return picture.isEmpty() ? m_picNormal : picture;
    };
    if (!isEnabled())
        return orNormal(m_picDisabled);
    if (m_pressed)
        return orNormal(m_picMouseDown);
    if (m_hover)
        return orNormal(m_picMouseOn);
    return m_picNormal;
}

QImage TsuiImageButton::currentPicture() const
{
    return pictureForState().bitmap();
}

QSize TsuiImageButton::sizeHint() const
{
    return m_picNormal.isValid() ? m_picNormal.size() : QSize(75, 25);
}

void TsuiImageButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), Color());

    const TsuiPicture &picture = pictureForState();
    if (!picture.isEmpty()) {
        const QImage image = m_transparent ? picture.keyedBitmap() : picture.bitmap();
        if (m_stretch)
            p.drawImage(rect(), image);
        else
            p.drawImage(0, 0, image);
    }

    if (showsFocusMark())
        paintFocusMark(p);

    if (!m_caption.trimmed().isEmpty()) {
        p.setPen(palette().color(QPalette::ButtonText));
        p.setFont(font());
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
}

bool TsuiImageButton::showsFocusMark() const
{
    return hasFocus() && TabStop() && (m_drawFocused || m_keyboardFocus);
}

void TsuiImageButton::paintFocusMark(QPainter &p) const
{
    // Dark dots on a light line, two pixels wide: visible on the blue skin and on the light buttons alike.
    const qreal m = m_focusedRectMargin + 1;
    const QRectF mark = QRectF(rect()).adjusted(m, m, -m, -m);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(mark);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 2, Qt::DotLine, Qt::FlatCap, Qt::MiterJoin));
    p.drawRect(mark);
}

void TsuiImageButton::focusInEvent(QFocusEvent *event)
{
    switch (event->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        m_keyboardFocus = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        // The focus comes back to where it was, and looks as it did.
        break;
    default:
        m_keyboardFocus = false;
        break;
    }
    QWidget::focusInEvent(event);
}

void TsuiImageButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_hover = true;
    update();
    Q_EMIT OnMouseEnter();
}

void TsuiImageButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_hover = false;
    m_pressed = false;
    m_repeat.stop();
    update();
    Q_EMIT OnMouseExit();
}

void TsuiImageButton::leftPress()
{
    m_pressed = true;
    m_keyboardFocus = false;
    m_leftDown = true;
    if (!m_repeat.isActive()) {
        m_repeat.setInterval(std::max(m_repeatInterval, 0));
        m_repeat.start();
    }
    if (TabStop() && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
    update();
}

void TsuiImageButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        leftPress();
    QWidget::mousePressEvent(event);
}

void TsuiImageButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    // The second press of a double click is a press like the first: two clicks in all.
    if (event->button() == Qt::LeftButton)
        leftPress();
    event->accept();
}

bool TsuiImageButton::outside(const QPoint &pos) const
{
    return pos.x() < 0 || pos.y() < 0 || pos.x() > width() || pos.y() > height();
}

void TsuiImageButton::mouseMoveEvent(QMouseEvent *event)
{
    // Once dragged off, the press stays released even when the pointer comes back.
    if (outside(event->position().toPoint()) && (m_hover || m_pressed)) {
        m_hover = false;
        m_pressed = false;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void TsuiImageButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_leftDown) {
        m_leftDown = false;
        m_repeat.stop();
        if (!outside(event->position().toPoint()))
            Click();
    }
    QWidget::mouseReleaseEvent(event);
}

void TsuiImageButton::keyPressEvent(QKeyEvent *event)
{
    if (!m_keyboardFocus) {
        m_keyboardFocus = true;
        update();
    }
    if (isPushKey(event->key())) {
        if (!event->isAutoRepeat()) {
            m_pressed = true;
            update();
        }
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TsuiImageButton::keyReleaseEvent(QKeyEvent *event)
{
    if (isPushKey(event->key()) && !event->isAutoRepeat()) {
        if (m_pressed) {
            m_pressed = false;
            update();
            Click();
        }
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TsuiImageButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        m_pressed = false;
        m_leftDown = false;
        m_repeat.stop();
    }
    if (event->type() == QEvent::ParentChange)
        applyAutoSize();
    QWidget::changeEvent(event);
}

void TsuiImageButton::Click()
{
    if (m_pressed) {
        m_repeat.stop();
        m_pressed = false;
        update();
    }
    if (auto *dialog = qobject_cast<QDialog *>(window())) {
        // A zero result leaves the dialog open.
        if (m_modalResult != 0)
            dialog->done(m_modalResult);
    }
    if (m_action)
        m_action->trigger();
    else
        Q_EMIT OnClick();
}
