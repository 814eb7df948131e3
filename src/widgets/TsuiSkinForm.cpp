#include "widgets/TsuiSkinForm.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

TsuiSkinForm::TsuiSkinForm(QWidget *form)
    : QWidget(form)
{
    if (form)
        form->setWindowFlag(Qt::FramelessWindowHint, true);
    setMouseTracking(true);
    resize(200, 100);
}

TsuiSkinForm::~TsuiSkinForm() = default;

void TsuiSkinForm::setGlyph(const QImage &picture)
{
    m_glyph = picture;
    // The picture covers the whole control, so nothing beneath needs erasing.
    setAttribute(Qt::WA_OpaquePaintEvent, !m_glyph.isNull());
    rebuildRegion();
    update();
}

void TsuiSkinForm::setTransparentColor(const QColor &colour)
{
    m_transparentColor = colour;
    rebuildRegion();
    update();
}

QRegion TsuiSkinForm::regionFromPicture(const QImage &picture, const QColor &transparent)
{
    QRegion region;
    if (picture.isNull())
        return region;
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    const QRgb key = transparent.rgb() | 0xff000000u;
    const int lastOpaque = image.width() - 1; // the row's last pixel counts as transparent
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        int x = 0;
        while (x < lastOpaque) {
            while (x < lastOpaque && (line[x] | 0xff000000u) == key)
                ++x;
            const int start = x;
            while (x < lastOpaque && (line[x] | 0xff000000u) != key)
                ++x;
            if (x > start)
                region += QRect(start, y, x - start, 1);
        }
    }
    return region;
}

void TsuiSkinForm::rebuildRegion()
{
    if (m_glyph.isNull())
        return;
    QWidget *form = parentWidget();
    if (form) {
        form->setMask(regionFromPicture(m_glyph, m_transparentColor));
        form->update();
    }
    move(0, 0);
    resize(m_glyph.size());
    if (form)
        form->setFixedSize(m_glyph.size());
    Q_EMIT OnRegionChanged();
}

void TsuiSkinForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_glyph.isNull()) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
        p.drawImage(0, 0, m_glyph);
    }
    Q_EMIT OnPaint();
}

void TsuiSkinForm::mousePressEvent(QMouseEvent *event)
{
    // The window system moves the window with the pointer until the button is released; without
    // a window manager it may refuse, and the window stays where it is.
    if (event->button() == Qt::LeftButton) {
        if (QWindow *handle = window()->windowHandle())
            handle->startSystemMove();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TsuiSkinForm::mouseMoveEvent(QMouseEvent *event)
{
    Q_EMIT OnMouseMove(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}
