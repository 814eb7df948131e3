#pragma once

#include <QAccessibleWidget>

class TsuiImageButton;

// What assistive technology sees of a picture button: a push button named after its command, with a
// press action. The button is a plain QWidget, so Qt would otherwise show it as a nameless pane.
class TsuiImageButtonAccessible final : public QAccessibleWidget
{
public:
    explicit TsuiImageButtonAccessible(TsuiImageButton *button);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &actionName) const override;

    // Installed once, by the first picture button made.
    static QAccessibleInterface *factory(const QString &className, QObject *object);

private:
    TsuiImageButton *button() const;
};
