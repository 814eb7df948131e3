#include "widgets/TsuiSkinForm.h"

#include "widgets/RatioPicture.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include <cmath>

TsuiSkinForm::TsuiSkinForm(QWidget *form)
    : QWidget(form)
{
    if (form)
        form->setWindowFlag(Qt::FramelessWindowHint, true);
    setMouseTracking(true);
    resize(200, 100);
    setPaintsShape(QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
}

TsuiSkinForm::~TsuiSkinForm() = default;

void TsuiSkinForm::setGlyph(const QImage &picture)
{
    m_glyph = picture;
    m_paintedRatio = 0;
    // The picture covers the whole control, so nothing beneath needs erasing; a painted shape leaves
    // the corners to the translucent window beneath.
    setAttribute(Qt::WA_OpaquePaintEvent, !m_glyph.isNull() && !m_paintsShape);
    rebuildRegion();
    update();
}

void TsuiSkinForm::setTransparentColor(const QColor &colour)
{
    m_transparentColor = colour;
    m_paintedRatio = 0;
    rebuildRegion();
    update();
}

void TsuiSkinForm::setPaintsShape(bool value)
{
    m_paintsShape = value;
    m_paintedRatio = 0;
    if (QWidget *form = parentWidget())
        form->setAttribute(Qt::WA_TranslucentBackground, value);
    setAttribute(Qt::WA_OpaquePaintEvent, !m_glyph.isNull() && !m_paintsShape);
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

QImage TsuiSkinForm::shapedPicture(const QImage &picture, const QColor &transparent)
{
    if (picture.isNull())
        return picture;
    QImage shaped = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() | 0xff000000u;
    const int lastPoint = static_cast<int>(std::ceil(shaped.devicePixelRatio()));
    const int inside = std::max(shaped.width() - lastPoint, 0);
    for (int y = 0; y < shaped.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(shaped.scanLine(y));
        for (int x = 0; x < shaped.width(); ++x) {
            if (x >= inside || (line[x] | 0xff000000u) == key)
                line[x] = 0;
        }
    }
    return shaped;
}

void TsuiSkinForm::rebuildRegion()
{
    if (m_glyph.isNull())
        return;
    const QSize points = m_glyph.deviceIndependentSize().toSize();
    QWidget *form = parentWidget();
    if (form) {
        // The mask is in points: a finer picture is sampled once per point.
        const QImage shape = m_glyph.size() == points
            ? m_glyph
            : m_glyph.scaled(points, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        form->setMask(regionFromPicture(shape, m_transparentColor));
        form->update();
    }
    move(0, 0);
    resize(points);
    if (form)
        form->setFixedSize(points);
    Q_EMIT OnRegionChanged();
}

const QImage &TsuiSkinForm::paintedPicture(qreal ratio)
{
    if (m_paintedRatio != ratio) {
        // Cut out before resampling, so that no edge pixel keeps a trace of the transparent colour.
        m_painted =
            RatioPicture::fitted(m_paintsShape ? shapedPicture(m_glyph, m_transparentColor) : m_glyph, ratio);
        m_paintedRatio = ratio;
    }
    return m_painted;
}

void TsuiSkinForm::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_glyph.isNull()) {
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
        p.drawImage(0, 0, paintedPicture(devicePixelRatioF()));
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
