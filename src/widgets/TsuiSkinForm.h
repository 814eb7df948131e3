#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QWidget>

// The painted skin of a borderless window: draws its picture, gives the window the shape of the
// picture's non-transparent pixels, and moves the window when the picture is dragged.
class TsuiSkinForm final : public QWidget
{
    Q_OBJECT
public:
    // Takes the form it lies on as its parent and makes that form borderless.
    explicit TsuiSkinForm(QWidget *form);
    ~TsuiSkinForm() override;

    QImage Glyph() const { return m_glyph; }
    void setGlyph(const QImage &picture);
    QColor TransparentColor() const { return m_transparentColor; }
    void setTransparentColor(const QColor &colour);

    // The shape of a picture: every horizontal run of pixels whose colour is not the transparent
    // one, row by row. The last pixel of each row never belongs to the shape.
    static QRegion regionFromPicture(const QImage &picture, const QColor &transparent);

Q_SIGNALS:
    void OnRegionChanged();
    void OnPaint();
    // The pointer moved over the picture (no button needs to be held).
    void OnMouseMove(const QPoint &pos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void rebuildRegion();

    QImage m_glyph;
    QColor m_transparentColor = QColor(255, 0, 255);
};
