#pragma once

#include <QStackedWidget>

// The page area: pages named by their captions, one shown at a time.
class TNotebook final : public QStackedWidget
{
    Q_OBJECT
public:
    explicit TNotebook(QWidget *parent = nullptr);

    // Adds an empty page; the pointer moving over its free space reaches OnMouseMove.
    QWidget *addPage(const QString &name);
    QWidget *page(const QString &name) const;
    QString ActivePage() const;
    // Makes the named page current; an unknown name changes nothing.
    void setActivePage(const QString &name);

Q_SIGNALS:
    void OnMouseMove(const QPoint &pos);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};
