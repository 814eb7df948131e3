#include "widgets/LinkLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

class LinkLabelAccessible final : public QAccessibleWidget
{
public:
    explicit LinkLabelAccessible(LinkLabel *label)
        : QAccessibleWidget(label, QAccessible::Link)
    { }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const LinkLabel *>(object())->text();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction())
            Q_EMIT static_cast<LinkLabel *>(object())->activated();
        else
            QAccessibleWidget::doAction(actionName);
    }
};

} // namespace

LinkLabel::LinkLabel(QWidget *parent)
    : QLabel(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&LinkLabel::factory);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

QAccessibleInterface *LinkLabel::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("LinkLabel") && object && object->isWidgetType())
        return new LinkLabelAccessible(static_cast<LinkLabel *>(object));
    return nullptr;
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            Q_EMIT activated();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT activated();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
