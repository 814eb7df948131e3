#pragma once

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QWidget>

// The painted skin of a borderless window: draws its picture, gives the window the shape of the
// picture's non-transparent pixels, and moves the window when the picture is dragged. A picture with
// more than one pixel per point draws at its size in points, and so sizes and shapes the window.
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

    // The window's shape is always its mask, which also keeps the pointer off the cut-out corners.
    // Wayland ignores a mask when it draws a window, so there the form is made translucent and the
    // skin paints the shape itself: the cut-out pixels drawn fully transparent. On X11 the mask alone
    // cuts the shape, which needs no compositing manager. Chosen by the platform at construction;
    // set before the form is first shown.
    bool PaintsShape() const { return m_paintsShape; }
    void setPaintsShape(bool value);

    // The shape of a picture: every horizontal run of pixels whose colour is not the transparent
    // one, row by row. The last pixel of each row never belongs to the shape.
    static QRegion regionFromPicture(const QImage &picture, const QColor &transparent);
    // The picture with every pixel outside that shape made fully transparent; of a picture with more
    // than one pixel per point, the last point of each row.
    static QImage shapedPicture(const QImage &picture, const QColor &transparent);

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
    // The picture as painted onto a device of `ratio` pixels per point.
    const QImage &paintedPicture(qreal ratio);

    QImage m_glyph;
    QColor m_transparentColor = QColor(255, 0, 255);
    bool m_paintsShape = false;
    // The last painted picture and the ratio it was made for.
    QImage m_painted;
    qreal m_paintedRatio = 0;
};
