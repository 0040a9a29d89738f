#include "ui/ArenaView.h"

#include <QMouseEvent>
#include <QPainter>

namespace kova {

TArenaView::TArenaView(QWidget* parent)
    : QWidget(parent), surface_([this] { update(); },
                                [this](int width, int height) { setFixedSize(width, height); }) {
    setObjectName("ArenaPaintBox");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TArenaView::paintEvent(QPaintEvent* event) {
    surface_.QtCanvas().End();
    QPainter painter(this);
    painter.drawImage(event->rect(), surface_.Image(), event->rect());
}

void TArenaView::mousePressEvent(QMouseEvent* event) {
    emit mousePressed(event->position().toPoint());
}

void TArenaView::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved(event->position().toPoint());
}

void TArenaView::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseReleased(event->position().toPoint());
}

} // namespace kova
