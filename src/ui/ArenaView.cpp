#include "ui/ArenaView.h"

#include "render/ArenaPicture.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kova {

namespace {

// One notch of an ordinary mouse wheel.
constexpr int kWheelNotch = 120;

int scaled(int modelLength, double zoom) {
    return static_cast<int>(std::lround(modelLength * zoom));
}

} // namespace

TArenaView::TArenaView(QWidget* parent)
    : QWidget(parent), surface_([this] { update(); },
                                [this](int width, int height) {
                                    modelSize_ = QSize(width, height);
                                    applySize();
                                }) {
    setObjectName("ArenaPaintBox");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Nothing is shown before the first paint event places the picture.
    surface_.ShowArea(QRect(), 1);
}

QRect TArenaView::shownRect() const {
    QRect shown = rect();
    if (const QWidget* viewport = parentWidget())
        shown &= QRect(mapFromParent(QPoint(0, 0)), viewport->size());
    return shown;
}

bool TArenaView::FollowViewport() {
    const QRect shown = shownRect();
    const double scale = std::min(zoom_, 1.0);
    QRect area;
    if (shown.isEmpty()) {
        area = QRect();
    } else if (zoom_ < 1) {
        // Reduced, a picture pixel is a widget pixel.
        area = shown;
    } else {
        // The model pixels any part of which shows.
        const int left = static_cast<int>(std::floor(shown.left() / zoom_));
        const int top = static_cast<int>(std::floor(shown.top() / zoom_));
        const int right = static_cast<int>(std::ceil((shown.right() + 1) / zoom_));
        const int bottom = static_cast<int>(std::ceil((shown.bottom() + 1) / zoom_));
        area = QRect(left, top, right - left, bottom - top);
    }
    if (area == surface_.Area() && scale == surface_.Scale())
        return false;
    surface_.ShowArea(area, scale);
    emit pictureMoved();
    return true;
}

void TArenaView::SetZoom(double zoom) {
    zoom = std::clamp(zoom, kSmallestZoom, kLargestZoom);
    if (zoom == zoom_)
        return;
    zoom_ = zoom;
    applySize();
    update();
}

void TArenaView::applySize() {
    setFixedSize(scaled(modelSize_.width(), zoom_), scaled(modelSize_.height(), zoom_));
}

QPointF TArenaView::ToModelF(QPointF widgetPoint) const {
    return widgetPoint / zoom_;
}

QPoint TArenaView::ToModel(QPointF widgetPoint) const {
    // The model pixel whose scaled square holds the point; at 100 % the
    // widget's own pixel.
    const QPointF model = ToModelF(widgetPoint);
    return QPoint(static_cast<int>(std::floor(model.x())), static_cast<int>(std::floor(model.y())));
}

QPointF TArenaView::ToWidget(QPointF modelPoint) const {
    return modelPoint * zoom_;
}

QPoint TArenaView::widgetPixel(QPoint modelPixel) const {
    return QPoint(static_cast<int>(std::floor((modelPixel.x() + 0.5) * zoom_)),
                  static_cast<int>(std::floor((modelPixel.y() + 0.5) * zoom_)));
}

void TArenaView::ShowRubberBand(TRubberBand kind, QPoint from, QPoint to) {
    band_ = kind;
    bandFrom_ = from;
    bandTo_ = to;
    update();
}

void TArenaView::HideRubberBand() {
    if (band_ == TRubberBand::None)
        return;
    band_ = TRubberBand::None;
    update();
}

void TArenaView::paintEvent(QPaintEvent* event) {
    FollowViewport();
    surface_.QtCanvas().End();
    QPainter painter(this);
    const QImage& picture = surface_.Image();
    const QRect placement = surface_.Placement();
    if (zoom_ <= 1) {
        // Pixel for pixel; anything beyond the picture (a strip left by
        // rounding, or a part the viewport does not show) is plain.
        for (const QRect& uncovered : QRegion(event->rect()).subtracted(placement))
            painter.fillRect(uncovered, palette().window());
        const QRect exposed = event->rect() & placement;
        painter.drawImage(exposed, picture, exposed.translated(-placement.topLeft()));
    } else {
        painter.fillRect(event->rect(), palette().window());
        // The painter clips to the exposed part.
        DrawEnlargedPicture(painter, surface_, zoom_);
    }
    paintRubberBand(painter);
}

// The band is drawn in the widget's pixels, one pixel wide at every zoom, so
// it stays visible however far the arena is reduced; each pixel it covers is
// inverted, which shows on any colour.
void TArenaView::paintRubberBand(QPainter& painter) const {
    if (band_ == TRubberBand::None)
        return;
    // The figure's model pixels: the left and top edges belong to it, the
    // right and bottom ones do not, whichever way round it was dragged.
    const int left = std::min(bandFrom_.x(), bandTo_.x());
    const int top = std::min(bandFrom_.y(), bandTo_.y());
    const int right = std::max(bandFrom_.x(), bandTo_.x());
    const int bottom = std::max(bandFrom_.y(), bandTo_.y());
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    switch (band_) {
    case TRubberBand::Rect: {
        if (left == right || top == bottom)
            break;
        const QPoint topLeft(static_cast<int>(std::floor(left * zoom_)),
                             static_cast<int>(std::floor(top * zoom_)));
        const QPoint bottomRight(
            std::max(static_cast<int>(std::ceil(right * zoom_)) - 1, topLeft.x()),
            std::max(static_cast<int>(std::ceil(bottom * zoom_)) - 1, topLeft.y()));
        painter.fillRect(QRect(topLeft, bottomRight), Qt::white);
        break;
    }
    case TRubberBand::Line:
        if (bandFrom_ != bandTo_)
            painter.drawLine(widgetPixel(bandFrom_), widgetPixel(bandTo_));
        break;
    case TRubberBand::Ellipse: {
        if (left == right || top == bottom)
            break;
        // The outline runs through the middles of the border's model pixels.
        const QPoint first = widgetPixel(QPoint(left, top));
        const QPoint last = widgetPixel(QPoint(right - 1, bottom - 1));
        painter.drawEllipse(QRect(first, QSize(last.x() - first.x(), last.y() - first.y())));
        break;
    }
    case TRubberBand::None:
        break;
    }
}

void TArenaView::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(ToModel(event->position()));
}

void TArenaView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(ToModel(event->position()));
}

void TArenaView::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(ToModel(event->position()));
}

void TArenaView::wheelEvent(QWheelEvent* event) {
    // Without Ctrl the wheel scrolls the arena as usual.
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / kWheelNotch;
    wheelRest_ -= steps * kWheelNotch;
    if (steps != 0)
        emit zoomWheeled(steps, event->position());
    event->accept();
}

} // namespace kova
