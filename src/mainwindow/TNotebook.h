#pragma once

#include <QStackedWidget>

// The page area: pages named by their captions, one shown at a time.
class TNotebook final : public QStackedWidget
{
    Q_OBJECT
public:
    explicit TNotebook(QWidget *parent = nullptr);

    // Adds a page, named by its object name; the pointer moving over its free space reaches OnMouseMove.
    void addPage(QWidget *page);
    QWidget *page(const QString &name) const;
    QString ActivePage() const;
    // Makes the named page current; an unknown name changes nothing.
    void setActivePage(const QString &name);

Q_SIGNALS:
    void OnMouseMove(const QPoint &pos);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
};
