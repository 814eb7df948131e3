#pragma once

#include <QLabel>

class QAccessibleInterface;

// A label that opens what it names (a web address, an e-mail address): a click, or Enter or Space while
// it has the keyboard focus, activates it. Tab reaches it, a dotted mark shows the focus, and assistive
// technology sees a link named by its text, with a press action.
class LinkLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr);

    static QAccessibleInterface *factory(const QString &className, QObject *object);

Q_SIGNALS:
    void activated();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
