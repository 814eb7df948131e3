#include "widgets/TsuiImageButtonAccessible.h"

#include "widgets/TsuiImageButton.h"

TsuiImageButtonAccessible::TsuiImageButtonAccessible(TsuiImageButton *button)
    : QAccessibleWidget(button, QAccessible::Button)
{ }

TsuiImageButton *TsuiImageButtonAccessible::button() const
{
    return static_cast<TsuiImageButton *>(widget());
}

QString TsuiImageButtonAccessible::text(QAccessible::Text t) const
{
    // A caption drawn over the picture is the name when nobody gave the button one.
    if (t == QAccessible::Name && button()->accessibleName().isEmpty())
        return button()->Caption().trimmed();
    return QAccessibleWidget::text(t);
}

QStringList TsuiImageButtonAccessible::actionNames() const
{
    QStringList names;
    if (widget()->isEnabled())
        names.append(pressAction());
    return names + QAccessibleWidget::actionNames();
}

void TsuiImageButtonAccessible::doAction(const QString &actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // The same click as the mouse's and the keyboard's: a disabled button ignores it.
    if (widget()->isEnabled() && widget()->isVisible())
        button()->Click();
}

QStringList TsuiImageButtonAccessible::keyBindingsForAction(const QString &actionName) const
{
    if (actionName == pressAction())
        return {QStringLiteral("Space")};
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

QAccessibleInterface *TsuiImageButtonAccessible::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TsuiImageButton") && object && object->isWidgetType())
        return new TsuiImageButtonAccessible(static_cast<TsuiImageButton *>(object));
    return nullptr;
}
